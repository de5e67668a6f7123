// Running ffmpeg as a child process fed through a pipe.
#include "capture/encoder.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

std::string findOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  std::string list(path);
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(':', begin);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(begin, end - begin);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    begin = end + 1;
  }
  return "";
}

bool startEncoder(VideoEncoder& encoder, const std::string& ffmpeg, int width, int height, int fps,
                  const std::string& audioPath, const std::string& outputPath, const std::string& container,
                  std::string& error) {
  std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::string rate = std::to_string(fps);
  // The profile video sites expect: H.264 in yuv420p with AAC stereo, index at the front.
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                   "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-r", rate, "-i", "pipe:0",
                                   "-i", audioPath, "-map", "0:v", "-map", "1:a",
                                   "-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p",
                                   "-c:a", "aac", "-b:a", "192k", "-ar", "44100", "-ac", "2"};
  if (container == "mp4") {
    args.insert(args.end(), {"-movflags", "+faststart"});
  }
  args.insert(args.end(), {"-f", container, outputPath});

  int fds[2];
  if (pipe(fds) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return false;
  }
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(ffmpeg.c_str(), argv.data());
    _exit(127);
  }
  close(fds[0]);
  // A dead encoder must show up as a failed write, not kill the capture.
  std::signal(SIGPIPE, SIG_IGN);
  encoder.pid = pid;
  encoder.input = fds[1];
  encoder.frameBytes = static_cast<size_t>(width) * height * 3;
  encoder.framesSent = 0;
  return true;
}

bool sendFrame(VideoEncoder& encoder, const uint8_t* rgb) {
  size_t done = 0;
  while (done < encoder.frameBytes) {
    ssize_t n = write(encoder.input, rgb + done, encoder.frameBytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  ++encoder.framesSent;
  return true;
}

bool finishEncoder(VideoEncoder& encoder, std::string& error) {
  if (encoder.input >= 0) close(encoder.input);
  encoder.input = -1;
  if (encoder.pid < 0) return false;
  int status = 0;
  while (waitpid(encoder.pid, &status, 0) < 0 && errno == EINTR) {
  }
  encoder.pid = -1;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = WIFEXITED(status) ? "ffmpeg failed with status " + std::to_string(WEXITSTATUS(status))
                            : "ffmpeg was ended by a signal";
  return false;
}
