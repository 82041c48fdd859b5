// test_mp3: short MP3 streams encoded by libmp3lame for the sound and capture tests.
//
// Offers: encode_test_mp3 (a quiet sine of an exact number of sample frames, with the
// encoder's info frame so a gapless decoder recovers that exact length).
#pragma once

#include <cstdint>
#include <vector>

namespace textdemo::test {

std::vector<std::uint8_t> encode_test_mp3(int sample_frames, int rate, int channels);

}  // namespace textdemo::test
