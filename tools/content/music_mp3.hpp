// music_mp3: MP3 encoding of the rendered song with LAME.
//
// Offers: encode_mp3 (stereo 44.1 kHz PCM -> constant-bit-rate MP3 whose first frame is
// the LAME/Info tag, which records the coder's delay and padding so that a gapless decoder
// returns exactly the input's samples).
// Depends on: libmp3lame, music_render (StereoPcm).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/content/music_render.hpp"

namespace textdemo::content {

constexpr int MP3_KBPS = 192;

// Returns false and names the problem in error when LAME refuses.
bool encode_mp3(const StereoPcm& pcm, std::vector<std::uint8_t>& mp3, std::string& error);

}  // namespace textdemo::content
