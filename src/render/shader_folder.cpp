// Finding the shader files: the working folder first, then the installed copy.
#include "render/shader_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool isFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The program's own path, from the kernel rather than argv[0], so it holds whatever the
// working folder and PATH were.
std::string ownExecutable() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "";
  path[length] = '\0';
  return path;
}

std::string chosenFolder;  // --shaders, without trailing slashes; "" = none

// "" to read shaders/ from the working folder, else the installed data folder with a
// trailing slash. Worked out at the first shader read (all on the main thread).
const std::string& shaderBase() {
  static bool decided = false;
  static std::string base;
  if (!decided) {
    decided = true;
    if (!isFolder(kShaderFolderName)) {
      std::string installed = installedDataFolderFor(ownExecutable());
      if (!installed.empty() && isFolder(installed + "/" + kShaderFolderName)) base = installed + "/";
    }
  }
  return base;
}

}  // namespace

std::string installedDataFolderFor(const std::string& executable) {
  if (executable.empty() || executable[0] != '/') return "";
  size_t programSlash = executable.rfind('/');
  size_t folderSlash = programSlash == 0 ? std::string::npos : executable.rfind('/', programSlash - 1);
  if (folderSlash == std::string::npos) return "";  // a program in / has no parent folder
  return executable.substr(0, folderSlash) + "/" + kInstalledDataFolder;
}

std::string locateShaderFile(const char* path) {
  std::string prefix = std::string(kShaderFolderName) + "/";
  if (std::string(path).compare(0, prefix.size(), prefix) != 0) return path;  // not one of the show's files
  if (!chosenFolder.empty()) return chosenFolder + "/" + (path + prefix.size());
  return shaderBase() + path;
}

bool shaderFolderFound() { return isFolder(shaderFolderPath()); }

bool checkShaderFolder(const char* folder, std::string& error) {
  std::string name = folder;
  struct stat info;
  if (name.empty()) {
    error = "--shaders needs a folder";
  } else if (stat(folder, &info) != 0) {
    error = "--shaders " + name + ": " + std::strerror(errno);
  } else if (!S_ISDIR(info.st_mode)) {
    error = "--shaders " + name + ": not a folder";
  } else if (access(folder, R_OK | X_OK) != 0) {
    error = "--shaders " + name + ": cannot be read (" + std::strerror(errno) + ")";
  } else {
    return true;
  }
  return false;
}

void useShaderFolder(const std::string& folder) {
  chosenFolder = folder;
  // "dir/" and "dir" name the same folder; "/" stays itself.
  while (chosenFolder.size() > 1 && chosenFolder.back() == '/') chosenFolder.pop_back();
}

std::string shaderFolderPath() {
  if (!chosenFolder.empty()) return chosenFolder;
  return shaderBase() + kShaderFolderName;
}
