// The maker's mode (demo --dev): the show in a window under the maker's hand. The transport
// keys pause, step and jump, with the music following to the sample from a copy of the song
// rendered in the background; F1 shows the overlay; F12 saves the frame as the capture tool
// would render it. Every frame drawn is the capture tool's frame at the same show time.
#pragma once

#include "demo/demo_options.h"
#include "demo/sdl_host.h"

// Runs the maker's mode in the window host has opened, until Escape or the window closes;
// returns the process's status.
int runDevMode(const DemoOptions& options, SdlHost& host);
