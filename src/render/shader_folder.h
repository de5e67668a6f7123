// Where the scenes' "shaders/<file>" paths are read from: the folder given with --shaders,
// else the working folder's shaders/ when it has one, else the copy installed beside the
// program (<prefix>/share/demo/shaders for a program in <prefix>/bin).
#pragma once

#include "render/data_folder.h"

#include <string>

constexpr const char* kShaderFolderName = "shaders";  // relative to the working folder

// The path to open for path ("shaders/..."): the same file under the chosen folder, else
// path itself when the working folder has shaders/, else under the installed data folder;
// decided once per process.
std::string locateShaderFile(const char* path);
// True when a shaders/ folder is found in either place.
bool shaderFolderFound();
// Checks a folder named on the command line (--shaders): false with a one-line reason in
// error when it is missing, not a folder, or cannot be listed and read.
bool checkShaderFolder(const char* folder, std::string& error);
// Reads the scenes' shaders from folder instead of shaders/ (before the first shader read).
void useShaderFolder(const std::string& folder);
// The folder the scenes' shaders are read from ("shaders", the installed copy or the chosen
// one), as the reads name it; the same however often asked.
std::string shaderFolderPath();
