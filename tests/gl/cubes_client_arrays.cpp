// Renders the cubes scene at a few times twice, once drawing from the once-per-frame buffer
// objects and once from client memory, and checks that the pictures agree byte for byte.
// Usage (from the repository root, for shaders/): cubes_client_arrays [WIDTH HEIGHT]
#include "capture/offscreen.h"
#include "scenes/cubes/cubes_scene.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr float kTimes[] = {0.5f, 8.0f, 12.0f};  // ring alone; busy shape and full ring; spreading

// Starts a scene of the given size drawing one way or the other.
void startScene(CubesScene& scene, int width, int height, bool clientArrays) {
  scene.width = width;
  scene.height = height;
  scene.clientArrays = clientArrays;
  scene.start();
}

}  // namespace

int main(int argc, char** argv) {
  int width = argc > 2 ? std::atoi(argv[1]) : 160;
  int height = argc > 2 ? std::atoi(argv[2]) : 90;
  EglContext egl;
  if (!startOffscreenOpenGl(egl, width, height)) return 1;
  int failures = 0;
  {
    CubesScene buffers, client;
    startScene(buffers, width, height, false);
    startScene(client, width, height, true);
    std::vector<uint8_t> fromBuffers, fromClient;
    for (float t : kTimes) {
      buffers.seconds = client.seconds = t;
      buffers.render();
      readFrame(width, height, fromBuffers);
      client.render();
      readFrame(width, height, fromClient);
      size_t differing = 0, lit = 0;
      for (size_t i = 0; i < fromBuffers.size(); ++i) {
        differing += fromBuffers[i] != fromClient[i];
        lit += fromBuffers[i] > 16;
      }
      std::printf("t %.1f: %zu of %zu bytes differ, %zu lit, %u shape cubes\n", t, differing, fromBuffers.size(),
                  lit, buffers.instances->count);
      // A black picture would agree trivially; the wall alone covers most of it.
      if (differing != 0 || lit < fromBuffers.size() / 2) ++failures;
    }
  }
  destroyEglContext(egl);
  return failures == 0 ? 0 : 1;
}
