// console_layout: where and how the 80 x 50 picture goes in a terminal of a given size.
//
// Offers: CellSize, LayoutKind, ScreenRegion, ScreenLayout, choose_layout,
// MIN_HALF_COLUMNS, MIN_HALF_ROWS and too_small_message.
// Depends on: console_settings (ConsoleLayout), text_frame (the frame's size).
//
// Terminal cells are mostly about twice as tall as wide. Native puts one frame cell in each
// terminal cell (there the picture is twice as tall as the window program's); half puts
// two pixels, one above the other, in each terminal cell. The half picture takes the
// window program's proportions (8 : 5) on the cells' real shape where their size in pixels
// is known (1 : 2 where not): with taller cells it has fewer pixel rows, with wider cells
// fewer columns, averaged down from the frame. A terminal large enough gets the whole
// picture enlarged by the largest whole factor that fits (each pixel k columns by k half
// rows); one too small for the half picture at full size gets a smaller one of the same
// proportions; one too small even for that gets one line saying how large it must be.
#pragma once

#include <string_view>

#include "display/console/console_settings.hpp"
#include "frame/text_frame.hpp"

namespace textdemo {

// A terminal cell in pixels; 0 x 0 where unknown.
struct CellSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const CellSize&, const CellSize&) = default;
};

enum class LayoutKind {
    Native,    // one terminal cell per frame cell
    Half,      // one terminal cell per two frame cells (or per averaged pixel pair)
    TooSmall,  // one centred line asking for a larger terminal
};

// A rectangle of terminal cells; it may reach past a terminal smaller than it (clipped).
struct ScreenRegion {
    int top = 0;
    int left = 0;
    int rows = FRAME_HEIGHT;
    int columns = FRAME_WIDTH;
    friend bool operator==(const ScreenRegion&, const ScreenRegion&) = default;
};

struct ScreenLayout {
    LayoutKind kind = LayoutKind::Native;
    ScreenRegion region;
    // Half: the picture in pixels, at most 80 x 50, each pixel `scale` columns wide and
    // `scale` half rows tall: the region is scale x picture_width columns by
    // scale x picture_height / 2 rows.
    int picture_width = FRAME_WIDTH;
    int picture_height = FRAME_HEIGHT;
    int scale = 1;
};

// The smallest half picture is 40 pixels wide, half the frame's width; in cells of 1 : 2
// it needs 13 rows.
constexpr int MIN_HALF_COLUMNS = 40;
constexpr int MIN_HALF_ROWS = 13;

// Auto picks native where the terminal holds 80 x 50 cells and its cells are close to
// square (width / height 0.8 .. 1.25, as an 8 x 8 console font) or of unknown size, else
// half; so does Pixels (asked where no pixels can be shown: pixel_layout). Native is
// centred in a larger terminal and clipped at the right and bottom of a
// smaller one; half is centred, enlarged or made smaller to fit, or TooSmall.
ScreenLayout choose_layout(ConsoleLayout asked, int terminal_rows, int terminal_columns, CellSize cell = {});

// The line a TooSmall layout shows: the longer form where it fits in `columns`.
std::string_view too_small_message(int columns);

}  // namespace textdemo
