// Finding the shader files: the working folder first, then the installed copy.
#include "render/shader_folder.h"

#include <sys/stat.h>
#include <unistd.h>

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
  return shaderBase() + path;
}

bool shaderFolderFound() { return isFolder(shaderBase() + kShaderFolderName); }
