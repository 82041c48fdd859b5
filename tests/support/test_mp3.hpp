// test_mp3: short MP3 streams encoded by libmp3lame for the sound and capture tests.
//
// Offers: encode_test_mp3 (a quiet sine of an exact number of sample frames, with the
// encoder's info frame so a gapless decoder recovers that exact length) and decode_mp3
// (a whole stream through libmpg123, gapless, in floats: what the native player hears).
#pragma once

#include <cstdint>
#include <vector>

namespace textdemo::test {

std::vector<std::uint8_t> encode_test_mp3(int sample_frames, int rate, int channels);

struct DecodedMp3 {
    bool ok = false;              // false: libmpg123 could not decode the stream
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;   // interleaved, 1.0 is full scale
};

DecodedMp3 decode_mp3(const std::vector<std::uint8_t>& mp3);

}  // namespace textdemo::test
