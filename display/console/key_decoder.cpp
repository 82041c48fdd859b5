#include "display/console/key_decoder.hpp"

namespace textdemo {

namespace {

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t BEL = 0x07;
constexpr KeyRecord ESCAPE_KEY{KEY_ESCAPE, 0};

using State = KeyDecoder::State;

struct Output {
    std::vector<KeyRecord>& records;
    std::vector<TerminalReply>& replies;
};

void push_key(Output& out, std::uint8_t byte) { out.records.push_back({0, static_cast<char>(byte)}); }

void start_reply(KeyDecoder& decoder, State state, ReplyKind kind) {
    decoder.state = state;
    decoder.reply = TerminalReply{};
    decoder.reply.kind = kind;
}

void finish_reply(KeyDecoder& decoder, Output& out) {
    out.replies.push_back(std::move(decoder.reply));
    decoder.state = State::Ground;
}

// A string that did not end as a reply was Alt + its introducer, and its body was typed.
void give_up_string(KeyDecoder& decoder, Output& out) {
    for (const char c : decoder.reply.body) push_key(out, static_cast<std::uint8_t>(c));
    decoder.state = State::Ground;
}

bool starts_string(std::uint8_t byte, ReplyKind& kind) {
    switch (byte) {
        case ']': kind = ReplyKind::OperatingSystem; return true;
        case 'P': kind = ReplyKind::DeviceControl; return true;
        case '_': kind = ReplyKind::ProgramCommand; return true;
        case '^': kind = ReplyKind::PrivacyMessage; return true;
        default: return false;
    }
}

void control_sequence_byte(KeyDecoder& decoder, std::uint8_t byte, Output& out) {
    TerminalReply& reply = decoder.reply;
    const bool first = reply.marker == 0 && reply.body.empty() && reply.intermediates.empty();
    if (byte >= 0x40 && byte <= 0x7E) {
        reply.final_byte = static_cast<char>(byte);
        finish_reply(decoder, out);
    } else if (first && byte >= '<' && byte <= '?') {
        reply.marker = static_cast<char>(byte);
    } else if (byte >= 0x20 && byte <= 0x3F) {
        std::string& field = byte >= 0x30 ? reply.body : reply.intermediates;
        if (field.size() == MAX_REPLY_BODY) {
            decoder.state = State::Ground;
            return;
        }
        field += static_cast<char>(byte);
    } else {
        // Anything else cancels the sequence; an ESC starts the next one.
        decoder.state = byte == ESC ? State::Escape : State::Ground;
    }
}

void decode_byte(KeyDecoder& decoder, std::uint8_t byte, Output& out) {
    ReplyKind string_kind{};
    switch (decoder.state) {
        case State::Ground:
            if (byte == ESC) {
                decoder.state = State::Escape;
            } else {
                push_key(out, byte);
            }
            break;
        case State::Escape:
            if (byte == ESC) {
                out.records.push_back(ESCAPE_KEY);  // Escape pressed twice
            } else if (byte == '[') {
                start_reply(decoder, State::Csi, ReplyKind::ControlSequence);
            } else if (byte == 'O') {
                decoder.state = State::Ss3;
            } else if (starts_string(byte, string_kind)) {
                start_reply(decoder, State::String, string_kind);
            } else {
                decoder.state = State::Ground;  // Alt + key
            }
            break;
        case State::Csi: control_sequence_byte(decoder, byte, out); break;
        case State::Ss3: decoder.state = byte == ESC ? State::Escape : State::Ground; break;
        case State::String:
            if (byte == BEL) {
                finish_reply(decoder, out);
            } else if (byte == ESC) {
                decoder.state = State::StringEscape;
            } else if (decoder.reply.body.size() == MAX_REPLY_BODY) {
                give_up_string(decoder, out);
                push_key(out, byte);
            } else {
                decoder.reply.body += static_cast<char>(byte);
            }
            break;
        case State::StringEscape:
            if (byte == '\\') {
                finish_reply(decoder, out);
            } else {
                give_up_string(decoder, out);
                decoder.state = State::Escape;  // the ESC starts whatever comes next
                decode_byte(decoder, byte, out);
            }
            break;
    }
}

// A sequence left open by the last read goes on only with bytes that came in time;
// otherwise it is given up.
void settle_open_sequence(KeyDecoder& decoder, std::size_t count, std::uint32_t now_ms, Output& out) {
    if (decoder.state == State::Ground) return;
    if (count > 0 && now_ms - decoder.left_open_ms <= SEQUENCE_TIMEOUT_MS) return;
    const State state = decoder.state;
    if (state == State::String || state == State::StringEscape) give_up_string(decoder, out);
    if (state == State::Escape || state == State::StringEscape) out.records.push_back(ESCAPE_KEY);
    decoder.state = State::Ground;
}

}  // namespace

void decode_keys(KeyDecoder& decoder, const std::uint8_t* bytes, std::size_t count, std::uint32_t now_ms,
                 std::vector<KeyRecord>& records, std::vector<TerminalReply>& replies) {
    Output out{records, replies};
    settle_open_sequence(decoder, count, now_ms, out);
    for (std::size_t i = 0; i < count; ++i) decode_byte(decoder, bytes[i], out);
    if (decoder.state != State::Ground) decoder.left_open_ms = now_ms;
}

}  // namespace textdemo
