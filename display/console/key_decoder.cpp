#include "display/console/key_decoder.hpp"

namespace textdemo {

namespace {

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t BEL = 0x07;

using State = KeyDecoder::State;

// The state after ESC followed by `byte`.
State after_escape(std::uint8_t byte) {
    switch (byte) {
        case '[': return State::Csi;
        case 'O': return State::Ss3;
        case ']': case 'P': case '_': case '^': return State::String;
        default: return State::Ground;  // Alt + key: neither Escape nor the key itself
    }
}

}  // namespace

void decode_keys(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count,
                 std::vector<KeyRecord>& records) {
    constexpr KeyRecord ESCAPE_KEY{KEY_ESCAPE, 0};
    // An ESC left over from the last frame with nothing after it was the Escape key.
    if (decoder.state == State::Escape && (count == 0 || after_escape(bytes[0]) == State::Ground)) {
        records.push_back(ESCAPE_KEY);
        decoder.state = State::Ground;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        switch (decoder.state) {
            case State::Ground:
                if (byte == ESC) {
                    decoder.state = State::Escape;
                } else {
                    records.push_back({0, static_cast<char>(byte)});
                }
                break;
            case State::Escape:
                if (byte == ESC) {
                    records.push_back(ESCAPE_KEY);  // Escape pressed twice between two reads
                } else {
                    decoder.state = after_escape(byte);
                }
                break;
            case State::Csi:
                // Parameter and intermediate bytes run on; a final byte ends the sequence,
                // anything else cancels it.
                if (byte < 0x20 || byte > 0x3F) decoder.state = State::Ground;
                if (byte == ESC) decoder.state = State::Escape;
                break;
            case State::Ss3:
                decoder.state = byte == ESC ? State::Escape : State::Ground;
                break;
            case State::String:
                if (byte == BEL) decoder.state = State::Ground;
                if (byte == ESC) decoder.state = State::StringEscape;
                break;
            case State::StringEscape:
                decoder.state = byte == '\\' ? State::Ground : State::String;
                break;
        }
    }
}

}  // namespace textdemo
