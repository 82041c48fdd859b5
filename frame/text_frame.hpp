// text_frame: the one drawing surface of the show, 80 x 50 pixel words.
//
// Offers: TextFrame (pixel words, mesh depth buffer, window cells, terminal descriptors),
// Cell, Camera, the accessor text_frame() that creates the single instance on first use,
// and release_text_frame() for teardown.
// Depends on: fixed_math (Camera uses Vector3 and Matrix3).
//
// Pixel word kinds (top byte): 0 = colour word 0x00RRGGBB; 2 = cell word (attribute in
// bits 8..15, character code in bits 0..7); anything else = preset word (hue byte = ramp
// row x 10, lightness byte, saturation byte). See convert.hpp for how each becomes a cell.
#pragma once

#include <cstdint>
#include <memory>

#include "frame/fixed_math.hpp"

namespace textdemo {

constexpr int FRAME_WIDTH = 80;
constexpr int FRAME_HEIGHT = 50;
constexpr int FRAME_CELLS = FRAME_WIDTH * FRAME_HEIGHT;

// Filled in by the scheduler when no effect draws: a solid dark-red frame.
constexpr std::uint32_t DEFAULT_FILL_WORD = 0x00780000;

// View record of the mesh renderer.
struct Camera {
    Vector3 position{};
    std::int32_t angle_a = 0, angle_b = 0, angle_c = 0;
    Vector3 move{};
    Matrix3 rotation = MATRIX_IDENTITY;
};

// A converted character cell: attribute byte (background << 4 | foreground) and glyph 0..15.
struct Cell {
    std::uint32_t attribute;
    std::uint32_t glyph;
};

struct TextFrame {
    std::unique_ptr<Camera> camera;
    std::uint32_t pixels[FRAME_CELLS];   // row-major, row 0 at the top
    std::int32_t depth[FRAME_CELLS];     // mesh rasteriser depth, same layout
    int console_out;                     // terminal output descriptor (console program)
    int console_in;                      // terminal input descriptor (console program)
    Cell cells[FRAME_CELLS];             // converted frame (window program)
};

// The single frame, created zeroed (camera at rest, identity rotation) on first use.
TextFrame& text_frame();

// Frees the camera, then the frame. A later text_frame() call creates a fresh one.
void release_text_frame();

}  // namespace textdemo
