// Rendering the show off-screen for the capture tool: the headless OpenGL start-up;
// readFrame (render/frame_readback.h) reads finished frames.
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
