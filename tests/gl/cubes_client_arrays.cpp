// Renders the cubes scene at a few times twice, once drawing from the once-per-frame buffer
// objects and once from client memory, and checks that the pictures agree byte for byte.
// Usage (from the repository root, for shaders/): cubes_client_arrays [WIDTH HEIGHT]
#include "capture/offscreen.h"
#include "scenes/cubes/cubes_scene.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  int width = argc > 2 ? std::atoi(argv[1]) : 160;
  int height = argc > 2 ? std::atoi(argv[2]) : 90;
  EglContext egl;
  if (!startOffscreenOpenGl(egl, width, height)) return 1;
  int failures = 0;
  {
    CubesScene scenes[2];  // buffers, client memory
    for (int i = 0; i < 2; ++i) {
      scenes[i].width = width;
      scenes[i].height = height;
      scenes[i].clientArrays = i == 1;
      scenes[i].start();
    }
    std::vector<uint8_t> pictures[2];
    for (float t : {0.5f, 8.0f, 12.0f}) {  // ring alone; busy shape and full ring; spreading
      for (int i = 0; i < 2; ++i) {
        scenes[i].seconds = t;
        scenes[i].render();
        readFrame(width, height, pictures[i]);
      }
      size_t differing = 0, lit = 0;
      for (size_t i = 0; i < pictures[0].size(); ++i) {
        differing += pictures[0][i] != pictures[1][i];
        lit += pictures[0][i] > 16;
      }
      std::printf("t %.1f: %zu of %zu bytes differ, %zu lit, %u shape cubes\n", t, differing, pictures[0].size(), lit,
                  scenes[0].instances->count);
      // A black picture would agree trivially; the wall alone covers most of it.
      if (differing != 0 || lit < pictures[0].size() / 2) ++failures;
    }
  }
  destroyEglContext(egl);
  return failures == 0 ? 0 : 1;
}
