// console_sequences: escape sequences the console program sends, spelled out as the system
// tests that watch its output expect them (independently of the program's own constants).
//
// Offers: ALTERNATE_SCREEN, MAIN_SCREEN, FRAME_START, FRAME_END, ATTRIBUTES_REQUEST.
// Depends on: nothing.
#pragma once

#include <string_view>

namespace textdemo {

inline constexpr std::string_view ALTERNATE_SCREEN = "\x1b[?1049h";  // the show takes the terminal
inline constexpr std::string_view MAIN_SCREEN = "\x1b[?1049l";       // the terminal given back
inline constexpr std::string_view FRAME_START = "\x1b[?2026h";       // a synchronized frame opens
inline constexpr std::string_view FRAME_END = "\x1b[?2026l";         // and closes
inline constexpr std::string_view ATTRIBUTES_REQUEST = "\x1b[c";     // the pacing's probe

}  // namespace textdemo
