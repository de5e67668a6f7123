// What OpenGL the demo gets: printed by --gl-info, and read by ./run to tell a software
// renderer from a GPU.
#pragma once

#include <cstdint>
#include <cstdio>

// The context profile for a GL_CONTEXT_PROFILE_MASK value at version major.minor: contexts
// before 3.2 have no profiles and offer everything, as a compatibility one does.
const char* glProfileName(int32_t profileMask, int major, int minor);
// Prints renderer, vendor, version, shading language, profile and whether the show can
// play on it, one "name: value" line each, for the current context.
void printGlInfo(FILE* out);
