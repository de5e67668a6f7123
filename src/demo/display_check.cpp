// The display check made before SDL starts.
#include "demo/display_check.h"

#include <cstdlib>

namespace {

bool named(const char* value) { return value && *value; }

}  // namespace

bool displayReachable(const char* display, const char* waylandDisplay, const char* videoDriver) {
  return named(display) || named(waylandDisplay) || named(videoDriver);
}

bool displayReachable() {
  return displayReachable(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("SDL_VIDEODRIVER"));
}
