// Rendering the show off-screen for the capture tool: the headless OpenGL start-up and the
// read-back of finished frames.
#pragma once

#include "capture/egl_context.h"
#include "shell/show.h"

#include <cstdint>
#include <string>
#include <vector>

// Brings up the headless context and the OpenGL entry points and checks the version and
// every function the show calls; false after a message on stderr.
bool startOffscreenOpenGl(EglContext& egl, int width, int height);
// Starts headless OpenGL and readies the show exactly as the demo does before its first
// frame (the music's random draws included); false after a message on stderr.
bool startOffscreenShow(EglContext& egl, Show& show, int width, int height);
// Makes the folder unless it exists; false after a message on stderr.
bool ensureFolder(const std::string& folder);
// Reads the finished default framebuffer back as upright 8-bit RGB.
void readFrame(int width, int height, std::vector<uint8_t>& rgb);
