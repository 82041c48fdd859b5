// key_decoder: the keys of the show, and the terminal's replies, out of the raw bytes a
// terminal sends.
//
// Offers: KeyDecoder (state carried from one read's bytes to the next), SEQUENCE_TIMEOUT_MS,
// MAX_REPLY_BODY and decode_keys.
// Depends on: frame_loop (KeyRecord), terminal_reply.
//
// A terminal reports the Escape key as a lone ESC byte, but also starts the sequences of
// arrow and function keys with ESC (ESC [ ..., ESC O x), sends Alt + key as ESC and the
// key, and answers requests with control sequences and strings that start with ESC. So:
// - ESC [ starts a control sequence and ESC O a key sequence; their bytes are never keys.
//   Each whole control sequence becomes a TerminalReply.
// - ESC ] / P / _ / ^ starts a string, which ends at BEL or ESC \ and becomes a
//   TerminalReply. A string cut short (any other ESC, no more bytes in time, or a body
//   longer than MAX_REPLY_BODY) was Alt + its introducer after all: its body bytes are
//   keys then.
// - ESC followed by any other byte is Alt + that key: neither Escape nor the key itself.
// Whatever is open at the end of a read (a lone ESC included) goes on in the next read if
// that brings bytes within SEQUENCE_TIMEOUT_MS; otherwise it is given up, a lone ESC then
// counting as the Escape key. A human never types two keys within one frame's read, while
// a terminal's reply may be cut anywhere between reads. Any ESC ends a string's body, so
// nothing can keep the decoder from seeing a later Escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/console/terminal_reply.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

// How long a sequence cut at the end of a read waits for the next read's bytes.
constexpr std::uint32_t SEQUENCE_TIMEOUT_MS = 50;
// Longer strings or parameter lists are no replies of a terminal.
constexpr std::size_t MAX_REPLY_BODY = 256;

struct KeyDecoder {
    enum class State : std::uint8_t {
        Ground,        // between keys
        Escape,        // after ESC
        Csi,           // inside ESC [ ... final byte
        Ss3,           // after ESC O, one byte to go
        String,        // inside a string, after its introducer
        StringEscape,  // an ESC inside a string: the terminator's first byte, or a cut
    };
    State state = State::Ground;
    std::uint32_t left_open_ms = 0;  // when the read that left a sequence open came
    TerminalReply reply;             // the control sequence or string being read
};

// Decodes one read's bytes (count may be 0, which settles whatever is open), read at now_ms
// on a millisecond clock, and appends a record for each Escape and each other character
// typed, in order, and each complete reply to `replies`. A terminal knows no key-up: every
// key gives one record.
void decode_keys(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count, std::uint32_t now_ms,
                 std::vector<KeyRecord>& records, std::vector<TerminalReply>& replies);

}  // namespace textdemo
