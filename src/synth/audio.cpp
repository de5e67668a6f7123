// Audio output. Until the synthesizer lands the device plays silence, but it is opened
// and the random sequence is advanced exactly as the music will do it.
#include "synth/audio.h"

#include "shell/log.h"
#include "synth/process_state.h"

#include <SDL.h>

#include <cstring>

constexpr int kNoiseTableSize = 131072;

void audioCallback(void*, uint8_t* stream, int length) { std::memset(stream, 0, length); }

void prepareMusic() {
  for (int i = 0; i < kNoiseTableSize; ++i) demoRand();
}

int initAudio() {
  SDL_AudioSpec spec;
  std::memset(&spec, 0, sizeof spec);
  spec.freq = 44100;
  spec.format = AUDIO_S16LSB;
  spec.channels = 2;  // what the library defaults to; said outright so every build agrees
  spec.samples = 4096;
  spec.callback = audioCallback;
  if (SDL_OpenAudio(&spec, nullptr) != 0) {
    logMessage("SDL_OpenAudio failed.\n");
    return -1;
  }
  prepareMusic();
  SDL_PauseAudio(0);
  return 0;
}

void stopAudio() { SDL_PauseAudio(1); }
