// The audio device: opened paused, fed by a callback on the audio library's thread.
#pragma once

#include <cstdint>

// Opens the device, prepares the song and starts playback; 0 on success, -1 on failure.
int initAudio();
// Fills the noise table and builds the song, as initAudio does once the device is open;
// the capture tool calls it instead of initAudio so the random sequence stays the same.
void prepareMusic();
// Fills stream with length / 4 stereo frames of 16-bit samples.
void audioCallback(void* userData, uint8_t* stream, int length);
// Pauses the device; called at every orderly exit before SDL_Quit.
void stopAudio();
