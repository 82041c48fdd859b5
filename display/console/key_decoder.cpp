#include "display/console/key_decoder.hpp"

namespace textdemo {

namespace {

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t BEL = 0x07;
constexpr KeyRecord ESCAPE_KEY{KEY_ESCAPE, 0};

using State = KeyDecoder::State;

bool starts_reply_string(std::uint8_t byte) { return byte == ']' || byte == 'P' || byte == '_' || byte == '^'; }

// Index of the last byte of a reply string whose body starts at `from`, or `count` when it
// does not end in these bytes. Any ESC ends the body: a string cut short gives no key away.
std::size_t reply_string_end(const std::uint8_t* bytes, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < count; ++i) {
        if (bytes[i] == BEL) return i;
        if (bytes[i] == ESC) return i + 1 < count && bytes[i + 1] == '\\' ? i + 1 : count;
    }
    return count;
}

void open_escape(KeyDecoder& decoder, std::uint32_t now_ms) {
    decoder.state = State::Escape;
    decoder.opened_ms = now_ms;
}

// A sequence left open by the last read goes on only with bytes that came in time, and an
// ESC only into a key sequence; otherwise it is given up.
void settle_open_sequence(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count, std::uint32_t now_ms,
                          std::vector<KeyRecord>& records) {
    if (decoder.state == State::Ground) return;
    const bool in_time = count > 0 && now_ms - decoder.opened_ms <= SEQUENCE_TIMEOUT_MS;
    const bool goes_on = in_time && (decoder.state != State::Escape || bytes[0] == '[' || bytes[0] == 'O');
    if (goes_on) return;
    if (decoder.state == State::Escape) records.push_back(ESCAPE_KEY);
    decoder.state = State::Ground;
}

}  // namespace

void decode_keys(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count, std::uint32_t now_ms,
                 std::vector<KeyRecord>& records) {
    settle_open_sequence(decoder, bytes, count, now_ms, records);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        switch (decoder.state) {
            case State::Ground:
                if (byte == ESC) {
                    open_escape(decoder, now_ms);
                } else {
                    records.push_back({0, static_cast<char>(byte)});
                }
                break;
            case State::Escape:
                if (byte == ESC) {
                    records.push_back(ESCAPE_KEY);  // Escape pressed twice
                    open_escape(decoder, now_ms);
                } else if (byte == '[') {
                    decoder.state = State::Csi;
                } else if (byte == 'O') {
                    decoder.state = State::Ss3;
                } else {
                    decoder.state = State::Ground;  // Alt + key, or a whole reply string
                    if (starts_reply_string(byte)) {
                        const std::size_t end = reply_string_end(bytes, i + 1, count);
                        if (end < count) i = end;
                    }
                }
                break;
            case State::Csi:
                // Parameter and intermediate bytes run on; a final byte ends the sequence,
                // anything else cancels it.
                if (byte < 0x20 || byte > 0x3F) decoder.state = State::Ground;
                if (byte == ESC) open_escape(decoder, now_ms);
                break;
            case State::Ss3:
                if (byte == ESC) {
                    open_escape(decoder, now_ms);
                } else {
                    decoder.state = State::Ground;
                }
                break;
        }
    }
}

}  // namespace textdemo
