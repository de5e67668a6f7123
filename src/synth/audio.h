// The audio device: opened paused, fed by a callback on the audio library's thread.
#pragma once

#include <cstdint>

struct ProcessState;

// Opens the device, prepares the song and starts playback at stereo frame firstFrame of
// the song (0: its start); 0 on success, -1 on failure.
int initAudio(int64_t firstFrame = 0);
// Opens the device, paused, with the show's format and buffer, its callback handed
// userData; 0 on success, -1 after a log line.
int openAudioDevice(void (*callback)(void*, uint8_t*, int), void* userData);
// Advances the synthesizer of state by frames stereo frames, rendering and dropping them:
// the voices carry state from sample to sample, so a later start has to pass through them.
void skipMusic(ProcessState& state, int64_t frames);
// Fills the noise table from the next random draws and builds the song into state.
void prepareMusic(ProcessState& state);
// prepareMusic for the process's own state, as initAudio does once the device is open;
// the capture tool calls it instead of initAudio so the random sequence stays the same.
void prepareMusic();
// Fills stream with length / 4 stereo frames of 16-bit little-endian samples.
void audioCallback(void* userData, uint8_t* stream, int length);
// Pauses the device; called at every orderly exit before SDL_Quit.
void stopAudio();
