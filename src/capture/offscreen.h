// Rendering the show off-screen for the capture tool: the headless OpenGL start-up and the
// checks of the capture's folders; readFrame (render/frame_readback.h) reads finished frames.
#pragma once

#include "capture/egl_context.h"
#include "capture/options.h"
#include "render/frame_readback.h"
#include "show/show.h"

#include <cstdint>
#include <string>
#include <vector>

// Brings up the headless context and the OpenGL entry points and checks the version and
// every function the show calls; false after a message on stderr.
bool startOffscreenOpenGl(EglContext& egl, int width, int height, const EglRequest& request = EglRequest());
// Starts headless OpenGL and readies the show exactly as the demo does before its first
// frame (the music's random draws included); false after a message on stderr.
bool startOffscreenShow(EglContext& egl, Show& show, int width, int height, const EglRequest& request = EglRequest());
// The context the options ask for: --samples and --gl-debug.
EglRequest eglRequest(const CaptureOptions& options);

// True when the driver renders the size the options ask for, supersampled or not
// (GL_MAX_TEXTURE_SIZE, GL_MAX_RENDERBUFFER_SIZE, GL_MAX_VIEWPORT_DIMS); otherwise false after
// a message on stderr that names the limit. Asks through a small context of its own.
bool sizeWithinDriverLimits(const CaptureOptions& options);
// Checks that folder can take the capture's files: an existing folder writable by this
// process, or a missing one whose parent folder is. False with a reason in error.
bool checkFolder(const std::string& folder, std::string& error);
// Makes the folder unless it exists, and checks it can be written; false after a message on
// stderr that says why.
bool ensureFolder(const std::string& folder);
// True for the names a sequence capture writes: frame-<digits>.png and music.wav.
bool isSequenceFile(const char* name);
// Removes an earlier capture's frames and music from folder, and nothing else, so the folder
// never mixes two captures; false after a message on stderr.
bool clearEarlierSequence(const std::string& folder);
// True when the shader folder is where the scenes look for it; otherwise says so in one line.
bool shadersPresent();
