// The table of OpenGL entry points, fetched by name at start-up and called under their
// OpenGL names, plus the version test and the one OpenGL error check every pass uses.
#pragma once

#include <GL/glcorearb.h>  // types, enums and pointer typedefs only: no prototypes

#include <cstdint>

// Pointer type for the few compatibility calls that the core header does not type.
typedef void(APIENTRYP GlUntypedProc)(void);

// The entry points live in their own namespace so that they never collide with the
// driver library's exported functions of the same names.
namespace glapi {
#define GL_ENTRY(name, type) extern type name;
#include "base/gl_entry_points.inc"
#undef GL_ENTRY
}  // namespace glapi
using namespace glapi;

constexpr int kGlEntryPointCount = 560;  // rows of gl_entry_points.inc

// Looks a function up by name; returns null when the driver does not export it.
typedef void* (*GlProcLookup)(const char* name);

extern int32_t glMajorVersion;  // GL_MAJOR_VERSION after loading; 0 before
extern int32_t glMinorVersion;  // GL_MINOR_VERSION after loading; 0 before

// Fills every entry point through lookup. Returns 0, or -1 when glGetIntegerv is missing
// or the version queries report less than 3.
int loadGlEntryPoints(GlProcLookup lookup);
// True when the loaded context offers the named function: its pointer was found and the
// version (or, for functions newer than 4.0, the extension that provides it) says it exists.
bool glEntryPointAvailable(const char* name);
// Returns null when every function the program calls is available, else the first missing name.
const char* findMissingGlEntryPoint();
// The list of functions the program calls unconditionally, by index.
int calledGlEntryPointCount();
const char* calledGlEntryPoint(int i);
// The functions called only after the place of use checked that they work, by index.
int optionalGlEntryPointCount();
const char* optionalGlEntryPoint(int i);
// True when name is one of the table's entry points.
bool isGlEntryPointName(const char* name);
// Clears every entry point and the version, as before loading.
void clearGlEntryPoints();
// True when the loaded version is at least major.minor (3.x and later only).
bool isGlVersionSupported(int major, int minor);

// Deletes the non-zero names of an array of count GL names through deleter (glDeleteTextures,
// glDeleteFramebuffers, ...) and zeroes them, so a second call deletes nothing.
void deleteGlNames(void(APIENTRYP deleter)(GLsizei, const GLuint*), uint32_t* names, int count);

// Returns only when no OpenGL error is pending; otherwise logs the line and the code,
// closes the log and ends the process with status 1. While errors are not fatal it logs
// each line and code once and returns.
void checkGlError(int line);
// Whether an OpenGL error ends the process (the default). The maker's mode keeps the show
// going while a shader is worked on: a shader that links can still fail at its draws.
void setGlErrorsFatal(bool fatal);
