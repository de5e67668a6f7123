// The capture's folders: checks before any work, and an earlier sequence cleared away.
#include "capture/folders.h"

#include "base/output_file.h"
#include "render/shader_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

bool checkFolder(const std::string& folder, std::string& error) {
  int failure = folderWriteError(folder);
  if (failure == 0) return true;
  // What stands in the way, for the message.
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) {
    error = S_ISDIR(info.st_mode) ? "cannot write into folder " + folder + ": " + std::strerror(failure)
                                  : "cannot use " + folder + " as a folder: it is a file";
    return false;
  }
  struct stat link;
  if (lstat(folder.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    error = "cannot use " + folder + " as a folder: it is a symbolic link that cannot be followed (" +
            std::strerror(failure) + ")";
    return false;
  }
  if (failure == ENOENT) {
    // Not there yet: made by the capture, so the folder above (trailing slashes aside) must take it.
    failure = folderWriteError(folderOf(folder.substr(0, folder.find_last_not_of('/') + 1)));
    if (failure == 0) return true;
  }
  error = "cannot create folder " + folder + ": " + std::strerror(failure);
  return false;
}

bool ensureFolder(const std::string& folder) {
  std::string error;
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "demo-capture: cannot create folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  if (checkFolder(folder, error)) return true;
  std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  return false;
}

bool isSequenceFile(const char* name) {
  if (std::strcmp(name, "music.wav") == 0) return true;
  if (std::strncmp(name, "frame-", 6) != 0) return false;
  const char* p = name + 6;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') ++p;
  return p > digits && std::strcmp(p, ".png") == 0;
}

bool clearEarlierSequence(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    std::fprintf(stderr, "demo-capture: cannot read folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = true;
  while (dirent* entry = readdir(dir)) {
    if (!isSequenceFile(entry->d_name)) continue;
    std::string path = folder + "/" + entry->d_name;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "demo-capture: cannot remove the earlier capture's %s: %s\n", path.c_str(),
                   std::strerror(errno));
      ok = false;
    }
  }
  closedir(dir);
  return ok;
}

bool shadersPresent() {
  if (shaderFolderFound()) return true;  // here, or installed beside the program
  char here[4096];
  std::fprintf(stderr, "demo-capture: no %s/ folder in %s: run it from the folder that holds the show's %s/ (the repository root), install it, or name one with --shaders\n",
               kShaderFolderName, getcwd(here, sizeof here) ? here : ".", kShaderFolderName);
  return false;
}
