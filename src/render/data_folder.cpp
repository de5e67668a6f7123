// Finding a data folder: the chosen one, the working folder's, then the installed copy.
#include "render/data_folder.h"

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

}  // namespace

std::string installedDataFolderFor(const std::string& executable) {
  if (executable.empty() || executable[0] != '/') return "";
  size_t programSlash = executable.rfind('/');
  size_t folderSlash = programSlash == 0 ? std::string::npos : executable.rfind('/', programSlash - 1);
  if (folderSlash == std::string::npos) return "";  // a program in / has no parent folder
  return executable.substr(0, folderSlash) + "/" + kInstalledDataFolder;
}

std::string DataFolder::locate(const std::string& file) {
  std::string prefix = std::string(name) + "/";
  if (file.compare(0, prefix.size(), prefix) != 0) return file;  // not one of the show's files
  if (!chosen.empty()) return chosen + "/" + file.substr(prefix.size());
  path();  // works base out
  return base + file;
}

std::string DataFolder::path() {
  if (!chosen.empty()) return chosen;
  // Worked out at the first read (all on the main thread).
  if (!decided) {
    decided = true;
    if (!isFolder(name)) {
      std::string installed = installedDataFolderFor(ownExecutable());
      if (!installed.empty() && isFolder(installed + "/" + name)) base = installed + "/";
    }
  }
  return base + name;
}

bool DataFolder::found() { return isFolder(path()); }

bool DataFolder::check(const char* folder, std::string& error) const {
  std::string given = folder;
  struct stat info;
  if (given.empty()) {
    error = std::string(option) + " needs a folder";
  } else if (stat(folder, &info) != 0) {
    error = std::string(option) + " " + given + ": " + std::strerror(errno);
  } else if (!S_ISDIR(info.st_mode)) {
    error = std::string(option) + " " + given + ": not a folder";
  } else if (access(folder, R_OK | X_OK) != 0) {
    error = std::string(option) + " " + given + ": cannot be read (" + std::strerror(errno) + ")";
  } else {
    return true;
  }
  return false;
}

void DataFolder::use(const std::string& folder) {
  chosen = folder;
  // "dir/" and "dir" name the same folder; "/" stays itself.
  while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
}
