// baseline_screen_writer: the console program's frame writer as it was before the layouts
// and colour modes, kept unchanged so the byte report measures the writer of today against
// it in the same run.
//
// Offers: baseline::BaselineScreen and baseline::write_frame_changes (80 x 50 cells, the
// 16 ANSI colours; cells that differ from the last frame, wrapped in synchronized output).
// Depends on: convert (ConsoleCell), cp437, terminal_colours (sgr_foreground, sgr_background).
#pragma once

#include <string>

#include "frame/convert.hpp"

namespace textdemo::baseline {

struct BaselineScreen {
    ConsoleCell shown[FRAME_CELLS];  // the picture on the terminal, valid if `valid`
    bool valid = false;              // false: the next frame clears and repaints everything
};

void write_frame_changes(BaselineScreen& screen, const ConsoleCell (&cells)[FRAME_CELLS], std::string& out);

}  // namespace textdemo::baseline
