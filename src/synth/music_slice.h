// The music of any span of the show, rendered off-line exactly as the audio callback plays
// it from the start of playback.
#pragma once

#include <cstdint>
#include <vector>

// Fills samples with the stereo frames [firstFrame, endFrame) of the music, left first.
void renderMusicSlice(int64_t firstFrame, int64_t endFrame, std::vector<int16_t>& samples);
