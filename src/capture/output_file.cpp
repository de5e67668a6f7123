// Output files through a temporary name, or in place where renaming would replace a device,
// a FIFO or a symlink with a regular file.
#include "capture/output_file.h"

#include "capture/cleanup.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

OutputFile planOutput(const std::string& path, bool dashIsStdout) {
  OutputFile out;
  out.path = path;
  if (dashIsStdout && path == "-") {
    out.inPlace = out.toStdout = true;
    out.writePath = path;
    return out;
  }
  out.finalPath = path;
  struct stat target;
  if (stat(path.c_str(), &target) == 0) {
    if (!S_ISREG(target.st_mode)) {
      out.inPlace = true;
      out.finalPath.clear();
      out.writePath = path;
      return out;
    }
    struct stat link;
    char resolved[PATH_MAX];
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && realpath(path.c_str(), resolved))
      out.finalPath = resolved;
  }
  out.writePath = out.finalPath + ".part";
  return out;
}

std::string outputName(const OutputFile& out) { return out.toStdout ? "standard output" : out.path; }

FILE* openOutput(OutputFile& out, std::string& error) {
  if (out.toStdout) return stdout;
  FILE* file = nullptr;
  {
    CleanupScope scope;  // created and tracked as one step
    file = std::fopen(out.writePath.c_str(), "wbe");
    if (file && !out.inPlace) out.slot = trackTemporaryFile(out.writePath);
  }
  if (!file) error = "cannot write " + out.path + ": " + std::strerror(errno);
  return file;
}

bool finishOutput(OutputFile& out, FILE* file, bool ok, int errorNumber, std::string& error) {
  int saved = ok ? 0 : errorNumber;
  if ((out.toStdout ? std::fflush(file) : std::fclose(file)) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok) return commitOutput(out, true, error);
  std::string ignored;
  commitOutput(out, false, ignored);
  error = "cannot write " + outputName(out) + (saved ? std::string(": ") + std::strerror(saved) : "");
  return false;
}

bool commitOutput(OutputFile& out, bool ok, std::string& error) {
  if (!out.inPlace) {
    if (ok && std::rename(out.writePath.c_str(), out.finalPath.c_str()) != 0) {
      error = "cannot write " + out.path + ": " + std::strerror(errno);
      ok = false;
    }
    if (!ok) std::remove(out.writePath.c_str());
  }
  forgetTemporaryFile(out.slot);
  out.slot = -1;
  return ok;
}
