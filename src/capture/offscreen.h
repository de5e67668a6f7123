// Rendering the show off-screen for the capture tool: the headless OpenGL start-up and the
// read-back of finished frames.
#pragma once

#include "capture/egl_context.h"

#include <cstdint>
#include <vector>

// Brings up the headless context and the OpenGL entry points and checks the version and
// every function the show calls; false after a message on stderr.
bool startOffscreenOpenGl(EglContext& egl, int width, int height);
// Reads the finished default framebuffer back as upright 8-bit RGB.
void readFrame(int width, int height, std::vector<uint8_t>& rgb);
