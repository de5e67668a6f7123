// Whether the demo can hope for an OpenGL window before SDL is started. Without a display,
// SDL 1.2 falls through to its text-mode video drivers, which take over the terminal and
// then fail; the demo says at once what to use instead.
#pragma once

// The one line the demo prints when no display is reachable.
constexpr const char* kNoDisplayMessage =
    "demo: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
    "demo-capture renders the show without one (see demo-capture --help)";

// True when a video driver that can give OpenGL may be reachable: a display or Wayland
// display is named, or the user chose SDL's video driver (SDL_VIDEODRIVER) themselves.
// Each argument is the variable's value, or null when it is unset; empty counts as unset.
bool displayReachable(const char* display, const char* waylandDisplay, const char* videoDriver);
// The same, from this process's environment.
bool displayReachable();
