// Audio output: opens the device, prepares the music and plays it from the callback.
// Nothing is rendered ahead; the callback computes every frame as it is asked for.
#include "synth/audio.h"

#include "base/log.h"
#include "synth/mixer.h"
#include "synth/process_state.h"
#include "synth/sample_rate.h"
#include "synth/song.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDeviceBufferFrames = 4096;   // frames per callback, about 92.9 ms
constexpr int kCallbackChunkFrames = 1024;  // frames converted to bytes at a time

}  // namespace

void prepareMusic(ProcessState& state) {
  fillNoiseTable(state.synth.noiseTable, state.random);
  buildSong(state.synth);
}

void prepareMusic() { prepareMusic(process); }

void audioCallback(void*, uint8_t* stream, int length) {
  int frames = length / kBytesPerFrame;
  int16_t chunk[kCallbackChunkFrames * kOutputChannels];
  for (int done = 0; done < frames;) {
    int count = std::min(kCallbackChunkFrames, frames - done);
    renderFrames(process.synth, chunk, count);
    storeLittleEndian(chunk, count * kOutputChannels, stream + done * kBytesPerFrame);
    done += count;
  }
  std::memset(stream + frames * kBytesPerFrame, 0, length - frames * kBytesPerFrame);
}

void skipMusic(ProcessState& state, int64_t frames) {
  int16_t chunk[kCallbackChunkFrames * kOutputChannels];
  for (int64_t done = 0; done < frames;) {
    int count = static_cast<int>(std::min<int64_t>(kCallbackChunkFrames, frames - done));
    renderFrames(state.synth, chunk, count);
    done += count;
  }
}

int openAudioDevice(void (*callback)(void*, uint8_t*, int), void* userData) {
  SDL_AudioSpec request;
  std::memset(&request, 0, sizeof request);
  request.freq = kSampleRate;
  request.format = AUDIO_S16LSB;
  request.channels = kOutputChannels;  // what the library defaults to; said outright so every build agrees
  request.samples = kDeviceBufferFrames;
  request.callback = callback;
  request.userdata = userData;
  if (SDL_OpenAudio(&request, nullptr) != 0) {
    logMessage("SDL_OpenAudio failed.\n");
    return -1;
  }
  return 0;
}

int initAudio(int64_t firstFrame) {
  if (openAudioDevice(audioCallback, nullptr) != 0) return -1;  // no user data
  // The open device already has its thread: build the song under the device's lock, which
  // the callback also holds, so the thread sees it complete once unpaused.
  SDL_LockAudio();
  prepareMusic();
  skipMusic(process, firstFrame);
  SDL_UnlockAudio();
  SDL_PauseAudio(0);
  return 0;
}

void stopAudio() { SDL_PauseAudio(1); }
