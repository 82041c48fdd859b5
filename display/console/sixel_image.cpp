#include "display/console/sixel_image.hpp"

#include <algorithm>

#include "frame/text_palette.hpp"

namespace textdemo {

namespace {

constexpr int BAND_ROWS = 6;
constexpr char SIXEL_ZERO = '?';        // a sixel with no bit set
constexpr int SHORTEST_REPEAT = 4;      // "!4x" is shorter than "xxxx"

void append_number(std::string& out, int value) { out += std::to_string(value); }

void append_run(std::string& out, char sixel, int count) {
    if (count >= SHORTEST_REPEAT) {
        out += '!';
        append_number(out, count);
        out += sixel;
    } else {
        out.append(static_cast<std::size_t>(count), sixel);
    }
}

// Percent of full intensity, rounded: 128 gives 50, 191 gives 75.
int percent(std::uint8_t byte) { return (byte * 100 + 127) / 255; }

bool band_changed(const IndexedPicture& picture, const IndexedPicture* previous, int top, int rows) {
    if (!previous || previous->width != picture.width || previous->height != picture.height) return true;
    const auto first = picture.index.begin() + static_cast<std::ptrdiff_t>(top) * picture.width;
    const auto count = static_cast<std::ptrdiff_t>(rows) * picture.width;
    return !std::equal(first, first + count, previous->index.begin() + (first - picture.index.begin()));
}

// One pass for each colour the band holds.
void append_band(const IndexedPicture& picture, int top, int rows, std::string& out) {
    const int width = picture.width;
    auto at = [&](int x, int y) { return picture.index[static_cast<std::size_t>(top + y) * width + x] & 15; };
    unsigned colours = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x) colours |= 1u << at(x, y);
    bool first_pass = true;
    for (int colour = 0; colour < 16; ++colour) {
        if (!(colours & (1u << colour))) continue;
        if (!first_pass) out += '$';
        first_pass = false;
        out += '#';
        append_number(out, colour);
        char run_sixel = SIXEL_ZERO;
        int run = 0;
        for (int x = 0; x < width; ++x) {
            int bits = 0;
            for (int y = 0; y < rows; ++y) bits |= (at(x, y) == colour) << y;
            const char sixel = static_cast<char>(SIXEL_ZERO + bits);
            if (sixel != run_sixel && run > 0) {
                append_run(out, run_sixel, run);
                run = 0;
            }
            run_sixel = sixel;
            ++run;
        }
        if (run_sixel != SIXEL_ZERO) append_run(out, run_sixel, run);
    }
}

}  // namespace

void append_sixel_image(const IndexedPicture& picture, const IndexedPicture* previous, std::string& out) {
    std::string bands;
    int newlines = 0;
    for (int top = 0; top < picture.height; top += BAND_ROWS) {
        const int rows = std::min(BAND_ROWS, picture.height - top);
        if (band_changed(picture, previous, top, rows)) {
            bands.append(static_cast<std::size_t>(newlines), '-');
            newlines = 0;
            append_band(picture, top, rows, bands);
        }
        ++newlines;
    }
    if (bands.empty()) return;
    // P2 = 1: pixels no pass inks keep what the terminal showed there.
    out += "\x1bP0;1;0q\"1;1;";
    append_number(out, picture.width);
    out += ';';
    append_number(out, picture.height);
    for (int colour = 0; colour < 16; ++colour) {
        const Rgb8 rgb = palette_rgb8(colour);
        out += '#';
        append_number(out, colour);
        out += ";2;";
        append_number(out, percent(rgb.red));
        out += ';';
        append_number(out, percent(rgb.green));
        out += ';';
        append_number(out, percent(rgb.blue));
    }
    out += bands;
    out += "\x1b\\";
}

}  // namespace textdemo
