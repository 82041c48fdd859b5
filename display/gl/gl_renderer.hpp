// gl_renderer: draws the converted cells with OpenGL 1.1.
//
// Offers: cell_layout (the whole-number scale and the offset of the 640 x 400 picture in
// a client area), GlRenderer (its state), load_window_font (the font's texels from "textmodechars.png", kept for
// every window), init_renderer (GL state and the font texture), release_renderer, and
// render_cells (each cell as an 8 x 8 square of its background
// colour with its glyph blended over it in the foreground colour, two draws of client-side
// arrays).
// Depends on: OpenGL 1.1 (a current context), image loading, font_texture, failure,
// text_frame, text_palette.
#pragma once

#include <vector>

#include "frame/text_frame.hpp"
#include "resources/failure.hpp"
#include "resources/font_texture.hpp"

namespace textdemo {

struct CellLayout {
    int scale;     // pixels per font pixel, at least 1
    int offset_x;  // where the picture's top-left corner lands (may be negative: cropped)
    int offset_y;
};

// Largest whole scale that fits (at least 1), the picture centred, halves truncated toward zero.
CellLayout cell_layout(int client_width, int client_height);

// The renderer's state: the font's texels (kept for every window), its texture in the
// current context, and the client-side arrays refilled every frame (positions serve both
// draws, colours are refilled per draw).
struct GlRenderer {
    FontTexture font;
    unsigned int font_texture = 0;  // GL texture name; 0 while no context has it
    std::vector<float> positions;
    std::vector<float> colours;
    std::vector<float> tex_coords;
};

// Reads the font image from the archive, before any window opens (a missing one fails).
Failure load_window_font(GlRenderer& renderer);

// Needs a current context and the font loaded; sets the GL state and uploads the font.
void init_renderer(GlRenderer& renderer);
void release_renderer(GlRenderer& renderer);

// Draws every cell of the frame into a client area of the given size.
void render_cells(GlRenderer& renderer, const TextFrame& frame, int client_width, int client_height);

}  // namespace textdemo
