// Output files through an exclusively made temporary name, or in place where renaming would
// replace a device, a FIFO or a symlink with a regular file.
#include "base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr mode_t kNewFileMode = 0666;  // as fopen makes a file, before the umask

TemporaryFileHooks temporaryHooks;  // none until a program sets them

// The process's umask, read once (reading it means setting it).
mode_t currentUmask() {
  static mode_t mask = [] {
    mode_t old = umask(022);
    umask(old);
    return old;
  }();
  return mask;
}

}  // namespace

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void setTemporaryFileHooks(const TemporaryFileHooks& hooks) { temporaryHooks = hooks; }

OutputFile planOutput(const std::string& path, bool dashIsStdout) {
  currentUmask();  // read early, before any other thread could create files
  OutputFile out;
  out.path = path;
  if (dashIsStdout && path == "-") {
    out.inPlace = out.toStdout = true;
    out.writePath = path;
    return out;
  }
  out.finalPath = path;
  struct stat target, link;
  bool isLink = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  if (stat(path.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) {
      out.problem = "it is a folder";
    } else if (!S_ISREG(target.st_mode)) {
      out.inPlace = true;
      out.finalPath.clear();
      out.writePath = path;
      return out;
    }
    char resolved[PATH_MAX];
    if (isLink && realpath(path.c_str(), resolved)) out.finalPath = resolved;
  } else if (isLink) {
    // Renaming over it would replace the link with a file; following it would create a file
    // somewhere the link names. Neither is what was asked.
    out.problem = std::string("it is a symbolic link that cannot be followed (") + std::strerror(errno) + ")";
  }
  return out;
}

int folderWriteError(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  if (access(folder.c_str(), W_OK | X_OK) != 0) return errno;
  return 0;
}

bool checkOutput(const OutputFile& out, std::string& error) {
  if (!out.problem.empty()) {
    error = "cannot write " + out.path + ": " + out.problem;
    return false;
  }
  if (out.inPlace) return true;
  int failure = folderWriteError(folderOf(out.finalPath));
  if (failure == 0) return true;
  error = "cannot write " + out.path + ": " + std::strerror(failure);
  return false;
}

std::string outputName(const OutputFile& out) { return out.toStdout ? "standard output" : out.path; }

int createOutput(OutputFile& out, std::string& error) {
  if (out.toStdout) return STDOUT_FILENO;
  if (!out.problem.empty()) {
    error = "cannot write " + out.path + ": " + out.problem;
    return -1;
  }
  int fd = -1;
  if (out.inPlace) {
    fd = open(out.writePath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  } else {
    // A unique name made with O_EXCL (mkstemp's way, which also refuses a planted link),
    // in the final file's folder so that the rename stays on one file system.
    std::string name = out.finalPath + ".XXXXXX" + kTemporarySuffix;
    if (temporaryHooks.hold) temporaryHooks.hold();  // created and reported as one step
    fd = mkostemps(&name[0], static_cast<int>(std::strlen(kTemporarySuffix)), O_CLOEXEC | O_NOFOLLOW);
    int saved = errno;
    if (fd >= 0) {
      out.writePath = name;
      if (temporaryHooks.made) out.slot = temporaryHooks.made(name);
      fchmod(fd, kNewFileMode & ~currentUmask());  // mkstemp makes it private
    }
    if (temporaryHooks.release) temporaryHooks.release();
    errno = saved;
  }
  if (fd < 0) error = "cannot write " + out.path + ": " + std::strerror(errno);
  return fd;
}

FILE* openOutput(OutputFile& out, std::string& error) {
  if (out.toStdout) return stdout;
  int fd = createOutput(out, error);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "wb");
  if (!file) {
    int saved = errno;
    close(fd);
    std::string ignored;
    commitOutput(out, false, ignored);
    error = "cannot write " + out.path + ": " + std::strerror(saved);
  }
  return file;
}

bool closeOutput(OutputFile& out, FILE* file, bool ok, int errorNumber, std::string& error) {
  int saved = ok ? 0 : errorNumber;
  if ((out.toStdout ? std::fflush(file) : std::fclose(file)) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok) return true;
  std::string ignored;
  commitOutput(out, false, ignored);
  error = "cannot write " + outputName(out) + (saved ? std::string(": ") + std::strerror(saved) : "");
  return false;
}

bool commitOutput(OutputFile& out, bool ok, std::string& error) {
  if (!out.inPlace && !out.writePath.empty()) {
    if (ok && std::rename(out.writePath.c_str(), out.finalPath.c_str()) != 0) {
      error = "cannot write " + out.path + ": " + std::strerror(errno);
      ok = false;
    }
    if (!ok) unlink(out.writePath.c_str());  // made by createOutput, so ours to remove
    out.writePath.clear();
  }
  if (out.slot >= 0 && temporaryHooks.gone) temporaryHooks.gone(out.slot);
  out.slot = -1;
  return ok;
}

bool finishOutput(OutputFile& out, FILE* file, bool ok, int errorNumber, std::string& error) {
  if (!closeOutput(out, file, ok, errorNumber, error)) return false;
  return commitOutput(out, true, error);
}

std::string toolPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return "file:" + path;
  char here[PATH_MAX];
  std::string folder = getcwd(here, sizeof here) ? here : ".";
  return "file:" + folder + (folder == "/" ? "" : "/") + path;
}

PendingOutputs::~PendingOutputs() { discard(); }

bool PendingOutputs::commitAll(std::string& error) {
  bool ok = true;
  for (OutputFile& out : files) {
    std::string failure;
    if (!commitOutput(out, ok, failure) && ok) {
      error = failure;
      ok = false;
    }
  }
  files.clear();
  return ok;
}

void PendingOutputs::discard() {
  std::string ignored;
  for (OutputFile& out : files) commitOutput(out, false, ignored);
  files.clear();
}
