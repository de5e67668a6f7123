// Live shader reload for the maker's mode. Every program buildProgram makes is remembered with
// its stage files and its setup, so that a saved file rebuilds each live program that reads it:
// the new program is built beside the old one and takes its place only when it links, so a
// file with an error leaves the last working program drawing. Without a watch nothing is
// rebuilt and buildProgram behaves as it always has.
#pragma once

#include "render/shader.h"

#include <string>
#include <vector>

// Starts watching the shader folder the programs read (inotify); false, with a log line, when
// it cannot. While watching, a program whose first build fails draws with a plain stand-in
// (magenta) instead of the failed program, and an OpenGL error is logged once rather than
// ending the process, so that the show goes on until the file is fixed.
bool startShaderWatch();
// Once per frame: rebuilds every live program whose stage files changed since the last call
// (all scenes, current or not; a scene not started yet simply builds from the new files); true
// when anything was rebuilt or failed.
bool reloadChangedShaders();
// The last compiler or linker message with file and line; empty once every file builds again.
const std::string& lastShaderError();
// Stops watching and frees the watch.
void stopShaderWatch();

// ---- shared with buildProgram and the tests ----

// Records program as built from paths (null = no such stage) with setup; failures is what the
// build reported (empty when it linked). While watching, a failed build is set aside for the stand-in.
void rememberProgram(ShaderProgram& program, const char* const paths[kShaderStages], const ProgramSetup& setup,
                     const std::string& failures);
// Forgets program (its scene is going); harmless for one never remembered.
void forgetProgram(const ShaderProgram& program);
// Rebuilds the live programs that read any of files (names within the shader folder), or all
// of them when everything; true when anything was rebuilt or failed.
bool rebuildProgramsUsing(const std::vector<std::string>& files, bool everything);
// The number of programs remembered now.
int liveProgramCount();
// A compiler's info log with each message line led by "path:LINE: " where the line number can
// be read from the driver's own prefix ("0:12(5):", "0(12) :", "ERROR: 0:12:"), else "path: ".
std::string placeShaderMessage(const char* path, const char* infoLog);
// A linker's info log led by the program's files, one message line each.
std::string placeLinkMessage(const char* const paths[kShaderStages], const char* infoLog);
