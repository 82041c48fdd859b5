// key_decoder: the keys of the show out of the raw bytes a terminal sends.
//
// Offers: KeyDecoder (state carried from one read's bytes to the next), SEQUENCE_TIMEOUT_MS
// and decode_keys.
// Depends on: frame_loop (KeyRecord).
//
// A terminal reports the Escape key as a lone ESC byte, but also starts the sequences of
// arrow and function keys with ESC (ESC [ ..., ESC O x), and sends Alt + key as ESC and the
// key. So, within one read:
// - ESC [ and ESC O start a key sequence; its bytes are never keys of their own.
// - ESC followed by any other byte is Alt + that key: neither Escape nor the key itself.
//   ESC ] / P / _ / ^ is a terminal's reply string instead when its end (BEL or ESC \)
//   comes in the same read, and is skipped whole.
// An ESC or a key sequence still open at the end of a read may go on in the next read if
// that brings bytes within SEQUENCE_TIMEOUT_MS; otherwise it is given up, a lone ESC then
// counting as the Escape key. Nothing can keep the decoder from seeing a later Escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "show/frame_loop.hpp"

namespace textdemo {

// How long an ESC or a key sequence cut at the end of a read waits for the rest.
constexpr std::uint32_t SEQUENCE_TIMEOUT_MS = 50;

struct KeyDecoder {
    enum class State : std::uint8_t {
        Ground,  // between keys
        Escape,  // after ESC
        Csi,     // inside ESC [ ... final byte
        Ss3,     // after ESC O, one byte to go
    };
    State state = State::Ground;
    std::uint32_t opened_ms = 0;  // when the ESC of the open sequence came
};

// Decodes one read's bytes (count may be 0, which settles whatever is open), read at now_ms
// on a millisecond clock, and appends a record for each Escape and each other character
// typed, in order. A terminal knows no key-up: every key gives one record.
void decode_keys(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count, std::uint32_t now_ms,
                 std::vector<KeyRecord>& records);

}  // namespace textdemo
