// Where the scenes' "shaders/<file>" paths are read from: the working folder's shaders/
// when it has one, else the copy installed beside the program (<prefix>/share/demo/shaders
// for a program in <prefix>/bin).
#pragma once

#include <string>

constexpr const char* kShaderFolderName = "shaders";        // relative to the working folder
constexpr const char* kInstalledDataFolder = "share/demo";  // relative to the install prefix

// The folder that holds the installed shaders/ for a program at executable (an absolute
// path): the parent of the program's folder joined with kInstalledDataFolder.
std::string installedDataFolderFor(const std::string& executable);
// The path to open for path ("shaders/..."): path itself when the working folder has
// shaders/, else the same file under the installed data folder; decided once per process.
std::string locateShaderFile(const char* path);
// True when a shaders/ folder is found in either place.
bool shaderFolderFound();
