// mp3_length: the exact length of an MPEG audio layer III stream in sample frames, read from
// its frame headers and its encoder's info frame, without decoding.
//
// Offers: Mp3Length and scan_mp3_length.
// Depends on: nothing.
//
// For builds without libmpg123 (the web build, where the browser decodes): the count equals
// what libmpg123 reports after a full scan with gapless decoding. An ID3v2 tag at the start
// is skipped; the frames run from the first header to the first byte that does not start a
// frame (an ID3v1 tag, junk, the end). A leading Xing or Info frame holds no sound; the
// LAME tag inside it gives the encoder's delay and padding, which are trimmed.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace textdemo {

struct Mp3Length {
    std::uint32_t rate = 0;           // sample frames per second
    int channels = 0;                 // 1 or 2
    std::uint64_t sample_frames = 0;  // after gapless trimming
    std::string problem;              // non-empty: not a layer III stream we can measure
};

Mp3Length scan_mp3_length(std::span<const std::uint8_t> bytes);

}  // namespace textdemo
