// key_decoder: the keys of the show out of the raw bytes a terminal sends.
//
// Offers: KeyDecoder (state carried from one frame's bytes to the next) and decode_keys.
// Depends on: frame_loop (KeyRecord).
//
// A terminal reports the Escape key as a lone ESC byte, but also starts the sequences of
// arrow keys, function keys and Alt combinations with ESC. An ESC counts as Escape only
// when nothing follows it: neither in the same read nor at the start of the next frame's
// bytes (a sequence split between two reads is still recognised, at the price of seeing a
// lone Escape one frame later). Bytes inside sequences are never keys of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/frame_loop.hpp"

namespace textdemo {

struct KeyDecoder {
    enum class State : std::uint8_t {
        Ground,        // between keys
        Escape,        // after ESC
        Csi,           // inside ESC [ ... final byte
        Ss3,           // after ESC O, one byte to go
        String,        // inside ESC ] / P / _ / ^ ... BEL or ESC \ (terminal replies)
        StringEscape,  // ESC inside such a string
    };
    State state = State::Ground;
};

// Decodes one frame's input bytes (count may be 0, which settles a pending ESC) and appends
// a record for each Escape and each other character typed, in order. A terminal knows no
// key-up: every key gives one record.
void decode_keys(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count,
                 std::vector<KeyRecord>& records);

}  // namespace textdemo
