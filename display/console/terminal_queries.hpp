// terminal_queries: what the terminal can show, found by asking it once at start.
//
// Offers: TERMINAL_QUERIES, TerminalAnswers, read_terminal_answers, LATE_ANSWERS_MS,
// queries_round_open, cell_size and detected_colours.
// Depends on: console_settings (ConsoleColours), console_layout (CellSize), terminal_reply, terminal_colours
// (choose_colours, the fallback from the environment).
//
// The requests, answered in order by terminals that know them and skipped by the others:
// - a kitty graphics query for a 1 x 1 image (a=q: nothing is shown), answered "OK" where
//   the kitty graphics protocol works;
// - a 24-bit foreground set and read back (DECRQSS of SGR): a terminal with direct colour
//   answers with the colour as sent, one with 256 colours with the nearest index;
// - the cell size and the window size in pixels (CSI 16 t, CSI 14 t);
// - the primary device attributes, which every terminal answers and last: their list
//   holds 4 where sixel graphics work, and their arrival ends the round.
// The capabilities RGB and Tc (XTGETTCAP) are not asked: kitty logs an error for each name
// it does not know, and the terminals tried answer the read-back where they would answer
// those. A terminal that answers nothing (tmux answers only the attributes, the Linux console
// little more) keeps the choices made from its size, COLORTERM and TERM.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "display/console/console_layout.hpp"
#include "display/console/console_settings.hpp"
#include "display/console/terminal_reply.hpp"

namespace textdemo {

// Written once after the take-over; ends with the colours reset.
inline constexpr std::string_view TERMINAL_QUERIES =
    "\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\"   // kitty graphics
    "\x1b[38;2;1;2;3m\x1bP$qm\x1b\\"               // 24-bit colour read back
    "\x1b[16t\x1b[14t"                             // cell and window size in pixels
    "\x1b[c"                                       // device attributes
    "\x1b[0m";

struct TerminalAnswers {
    bool finished = false;  // the device attributes came: nothing more to wait for
    bool kitty_graphics = false;
    bool sixel = false;
    // Read back: TrueColour or Indexed256; Auto where nothing told.
    ConsoleColours colours = ConsoleColours::Auto;
    CellSize cell;          // CSI 16 t
    int window_width = 0;   // CSI 14 t, pixels
    int window_height = 0;
};

// Takes in the answers among `replies` (anything else is left alone).
void read_terminal_answers(TerminalAnswers& answers, const std::vector<TerminalReply>& replies);

// How long after the queries went out their answers are still taken in while the device
// attributes have not come: a busy terminal may answer seconds late, and one that answers
// nothing must not keep the round open for ever.
constexpr std::uint32_t LATE_ANSWERS_MS = 3000;

// True while answers to the queries sent at sent_ms may still come: until the device
// attributes, or LATE_ANSWERS_MS (on a millisecond clock that may wrap).
bool queries_round_open(const TerminalAnswers& answers, std::uint32_t sent_ms, std::uint32_t now_ms);

// The cell size: from the terminal's size in pixels as the kernel has it (TIOCGWINSZ;
// 0 where the terminal does not set it), else as the terminal answered. Sizes outside
// 2..512 pixels count as unknown.
CellSize cell_size(int columns, int rows, int width_pixels, int height_pixels, const TerminalAnswers& answers);

// `asked` unless Auto; then what the terminal's read-back showed; else from COLORTERM and
// TERM (choose_colours).
ConsoleColours detected_colours(ConsoleColours asked, const TerminalAnswers& answers, const char* colorterm,
                                const char* term);

}  // namespace textdemo
