// A folder of files the show reads at run time (shaders/, tracks/): the one named on the
// command line, else the working folder's when it has one, else the copy installed beside
// the program (<prefix>/share/demo/NAME for a program in <prefix>/bin).
#pragma once

#include <string>

constexpr const char* kInstalledDataFolder = "share/demo";  // relative to the install prefix

// The folder that holds the installed data folders for a program at executable (an absolute
// path): the parent of the program's folder joined with kInstalledDataFolder.
std::string installedDataFolderFor(const std::string& executable);

class DataFolder {
 public:
  const char* name;      // relative to the working folder and the installed data folder: "shaders"
  const char* option;    // the option that names another folder: "--shaders"
  std::string chosen;    // named with option, without trailing slashes; "" = none
  bool decided = false;  // base is worked out at the first read, once per process
  std::string base;      // "" = the working folder's, else the installed data folder with a '/'

  DataFolder(const char* folderName, const char* optionName) : name(folderName), option(optionName) {}
  // The path to open for path ("NAME/..."): the same file under the chosen folder, else path
  // itself when the working folder has NAME/, else under the installed data folder. A path
  // outside NAME/ is returned as it is.
  std::string locate(const std::string& path);
  // The folder read from ("NAME", the installed copy or the chosen one), as the reads name it.
  std::string path();
  // True when the folder read from exists.
  bool found();
  // Reads from folder instead (before the first read); "" goes back to NAME/.
  void use(const std::string& folder);
  // Checks a folder named with option: false with a one-line reason in error when it is
  // missing, not a folder, or cannot be listed and read.
  bool check(const char* folder, std::string& error) const;
};
