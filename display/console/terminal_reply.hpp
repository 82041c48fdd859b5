// terminal_reply: what a terminal sends besides keys, as the key decoder hands it over.
//
// Offers: ReplyKind, TerminalReply, MAX_REPLY_NUMBERS and reply_numbers (the numbers of a
// parameter list such as "62;4;22").
// Depends on: nothing.
//
// A terminal answers requests with control sequences (ESC [ ... final byte: device
// attributes "?62;4c", a cursor position "24;80R", a cell size "6;16;8t") and with strings
// (ESC P ... ESC \ for settings and capabilities read back, ESC _ ... ESC \ for the kitty
// graphics protocol, ESC ] ... BEL for colours). Key sequences such as the arrows
// (ESC [ A) are control sequences too: a reader looks only for the answers it asked for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace textdemo {

enum class ReplyKind : std::uint8_t {
    ControlSequence,  // ESC [
    DeviceControl,    // ESC P
    ProgramCommand,   // ESC _
    OperatingSystem,  // ESC ]
    PrivacyMessage,   // ESC ^
};

struct TerminalReply {
    ReplyKind kind = ReplyKind::ControlSequence;
    // Control sequences: a private marker ('<', '=', '>' or '?') right after ESC [, or 0;
    // the intermediate bytes (' ' .. '/', as the '$' of "?2026;2$y"); the final byte.
    char marker = 0;
    std::string intermediates;
    char final_byte = 0;
    // Control sequences: the parameter bytes after the marker ("62;4"). Strings: everything
    // between the introducer and the terminator ("1$r0;38:2::1:2:3m", "Gi=31;OK").
    std::string body;
    friend bool operator==(const TerminalReply&, const TerminalReply&) = default;
};

constexpr int MAX_REPLY_NUMBERS = 16;

// The numbers of `parameters`, fields separated by ';' (an empty field is 0; values past
// 999999 read as 999999), into `values`; returns how many, or -1 where a field holds
// anything but digits or there are more than MAX_REPLY_NUMBERS fields.
int reply_numbers(std::string_view parameters, int (&values)[MAX_REPLY_NUMBERS]);

}  // namespace textdemo
