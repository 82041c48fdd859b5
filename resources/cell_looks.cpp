// cell_looks: every look drawn by the window picture's routine, then copied cell by cell.
#include "resources/cell_looks.hpp"

#include <cstring>

#include "resources/cell_picture.hpp"

namespace textdemo {

namespace {

constexpr int LOOKS = 256 * 16;         // attribute byte and glyph
constexpr int BLOCK_BYTES = 8 * 8 * 4;  // a cell's 8 x 8 pixels in RGBA
constexpr int ROW_BYTES = PICTURE_WIDTH * 4;

int look_of(const Cell& cell) { return static_cast<int>(((cell.attribute & 0xFF) << 4) | (cell.glyph & 15)); }

}  // namespace

// Frames of cells that hold each look once, drawn and cut into blocks.
CellLooks draw_every_look(const FontTexture& font) {
    CellLooks looks;
    looks.blocks.resize(static_cast<std::size_t>(LOOKS) * BLOCK_BYTES);
    std::vector<std::uint8_t> rgb;
    Cell cells[FRAME_CELLS];
    for (int first = 0; first < LOOKS; first += FRAME_CELLS) {
        for (int i = 0; i < FRAME_CELLS; ++i) {
            const auto look = static_cast<std::uint32_t>((first + i) % LOOKS);
            cells[i] = {look >> 4, look & 15};
        }
        draw_cell_picture(cells, font, rgb);
        for (int i = 0; i < FRAME_CELLS && first + i < LOOKS; ++i) {
            const int left = (i % FRAME_WIDTH) * 8, top = (i / FRAME_WIDTH) * 8;
            std::uint8_t* block = &looks.blocks[static_cast<std::size_t>(first + i) * BLOCK_BYTES];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x, block += 4) {
                    const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(top + y) * PICTURE_WIDTH + left + x) * 3];
                    block[0] = pixel[0];
                    block[1] = pixel[1];
                    block[2] = pixel[2];
                    block[3] = 255;
                }
        }
    }
    return looks;
}

void lay_out_cell_picture(const Cell (&cells)[FRAME_CELLS], const CellLooks& looks, std::vector<std::uint8_t>& rgba) {
    rgba.resize(static_cast<std::size_t>(ROW_BYTES) * PICTURE_HEIGHT);
    for (int cell = 0; cell < FRAME_CELLS; ++cell) {
        const std::uint8_t* block = &looks.blocks[static_cast<std::size_t>(look_of(cells[cell])) * BLOCK_BYTES];
        std::uint8_t* out = &rgba[static_cast<std::size_t>(cell / FRAME_WIDTH) * 8 * ROW_BYTES + (cell % FRAME_WIDTH) * 32];
        for (int y = 0; y < 8; ++y) std::memcpy(out + y * ROW_BYTES, block + y * 32, 32);
    }
}

}  // namespace textdemo
