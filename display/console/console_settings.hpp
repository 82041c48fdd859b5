// console_settings: how the user asked the terminal to be used.
//
// Offers: ConsoleLayout, ConsoleColours and ConsoleSettings (the choices of the console
// program's command line; Auto means: decided from the terminal).
// Depends on: nothing.
#pragma once

namespace textdemo {

enum class ConsoleLayout {
    Auto,    // pixels where the kitty graphics protocol works, else native or half by size
    Native,  // one terminal cell per frame cell
    Half,    // two frame cells per terminal cell, upper and lower half
    Pixels,  // the window's picture through kitty graphics or sixel, else as auto
};

enum class ConsoleColours {
    Auto,        // from COLORTERM and TERM
    Ansi16,      // the 16 ANSI colours, as the terminal's theme shows them
    Indexed256,  // indices 16..255 of the 256-colour set
    TrueColour,  // 24-bit colour
};

struct ConsoleSettings {
    ConsoleLayout layout = ConsoleLayout::Auto;
    ConsoleColours colours = ConsoleColours::Auto;
};

}  // namespace textdemo
