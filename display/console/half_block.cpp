#include "display/console/half_block.hpp"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace textdemo {

namespace {

// Code page 437's upper half block, U+2580.
constexpr std::uint8_t UPPER_HALF_BLOCK = 0xDF;
constexpr std::uint8_t SPACE = 32;
constexpr int GLYPH_SIZE = 8;

std::uint8_t mix_channel(std::uint8_t background, std::uint8_t foreground, std::uint32_t ink) {
    return static_cast<std::uint8_t>((background * (FULL_INK - ink) + foreground * ink + FULL_INK / 2) / FULL_INK);
}

std::uint32_t character_ink(const GlyphInk& glyphs, std::uint8_t character) {
    for (int g = 0; g < 16; ++g)
        if (ShadeChars[g] == character) return glyphs.ink[g];
    return FULL_INK / 2;
}

// The source pixels a target pixel covers along one axis, with their weights: source pixel
// i spans [i x size, (i + 1) x size), target pixel t spans [t x source_size, (t + 1) x
// source_size), and the weight is the overlap; a target's weights add up to source_size.
struct Span {
    int first;
    int count;
    int weight[FRAME_WIDTH];  // the first `count` are set
};

void fill_span(Span& span, int target, int size, int source_size) {
    const int begin = target * source_size, end = begin + source_size;
    span.first = begin / size;
    span.count = 0;
    for (int i = span.first; i * size < end; ++i)
        span.weight[span.count++] = std::min(end, (i + 1) * size) - std::max(begin, i * size);
}

// A direct-mapped memory of values computed from 32-bit keys (pixel words, RGB colours): a
// frame holds far fewer distinct ones than pixels, and finding a colour's cell mix or
// nearest terminal colour costs more than looking it up.
template <typename Value>
struct Memo {
    static constexpr int SLOTS = 1024;
    std::uint64_t keys[SLOTS] = {};  // key + 2^32 where filled
    Value values[SLOTS];

    void clear() { std::fill(std::begin(keys), std::end(keys), 0); }

    template <typename Compute>
    Value get(std::uint32_t key, Compute compute) {
        const std::uint32_t slot = (key * 2654435761u) >> 22;
        const std::uint64_t tagged = key | std::uint64_t{1} << 32;
        if (keys[slot] != tagged) keys[slot] = tagged, values[slot] = compute();
        return values[slot];
    }
};

std::uint32_t rgb_key(Rgb8 c) { return static_cast<std::uint32_t>(c.red) << 16 | c.green << 8 | c.blue; }

Rgb8 average(Rgb8 a, Rgb8 b) {
    return {static_cast<std::uint8_t>((a.red + b.red + 1) / 2), static_cast<std::uint8_t>((a.green + b.green + 1) / 2),
            static_cast<std::uint8_t>((a.blue + b.blue + 1) / 2)};
}

}  // namespace

GlyphInk glyph_ink(const FontTexture& font) {
    GlyphInk glyphs;
    for (int g = 0; g < 16; ++g)
        for (int y = 0; y < GLYPH_SIZE; ++y)
            for (int x = 0; x < GLYPH_SIZE; ++x) {
                const std::size_t texel = static_cast<std::size_t>(y) * FONT_TEXTURE_SIZE + GLYPH_SIZE * g + x;
                glyphs.ink[g] += font.rgba[texel * 4 + 3];  // alpha
            }
    return glyphs;
}

Rgb8 cell_mix(int attribute, std::uint32_t ink) {
    const Rgb8 foreground = palette_rgb8(attribute & 15), background = palette_rgb8((attribute >> 4) & 15);
    return {mix_channel(background.red, foreground.red, ink), mix_channel(background.green, foreground.green, ink),
            mix_channel(background.blue, foreground.blue, ink)};
}

void frame_mixes(const GlyphInk& glyphs, const std::uint32_t (&pixels)[FRAME_CELLS], Rgb8 (&out)[FRAME_CELLS]) {
    Memo<Rgb8> mixes;
    mixes.clear();
    for (int i = 0; i < FRAME_CELLS; ++i) {
        const std::uint32_t word = pixels[i];
        out[i] = mixes.get(word, [&] {
            if ((word >> 24) == CELL_WORD_KIND)
                return cell_mix(static_cast<int>((word >> 8) & 0xFF), character_ink(glyphs, word & 0xFF));
            const Cell cell = convert_word(word);
            return cell_mix(static_cast<int>(cell.attribute), glyphs.ink[cell.glyph & 15]);
        });
    }
}

// Each source row is summed across first (the weighted sums of the columns each target
// pixel covers), then those sums down: the same integers as one weighted sum over the
// area, for far fewer products.
void resample_picture(const Rgb8 (&picture)[FRAME_CELLS], int width, int height, Rgb8* out) {
    if (width == FRAME_WIDTH && height == FRAME_HEIGHT) {
        std::copy(std::begin(picture), std::end(picture), out);
        return;
    }
    struct Sums {
        int red, green, blue;
    };
    Span columns, rows;
    Sums across[FRAME_HEIGHT][FRAME_WIDTH];
    for (int x = 0; x < width; ++x) {
        fill_span(columns, x, width, FRAME_WIDTH);
        for (int source_row = 0; source_row < FRAME_HEIGHT; ++source_row) {
            const Rgb8* source = &picture[source_row * FRAME_WIDTH + columns.first];
            Sums sums{0, 0, 0};
            for (int i = 0; i < columns.count; ++i) {
                const int weight = columns.weight[i];
                sums.red += weight * source[i].red;
                sums.green += weight * source[i].green;
                sums.blue += weight * source[i].blue;
            }
            across[source_row][x] = sums;
        }
    }
    constexpr int TOTAL = FRAME_WIDTH * FRAME_HEIGHT;
    for (int y = 0; y < height; ++y) {
        fill_span(rows, y, height, FRAME_HEIGHT);
        for (int x = 0; x < width; ++x) {
            int red = 0, green = 0, blue = 0;
            for (int j = 0; j < rows.count; ++j) {
                const Sums& sums = across[rows.first + j][x];
                red += rows.weight[j] * sums.red;
                green += rows.weight[j] * sums.green;
                blue += rows.weight[j] * sums.blue;
            }
            out[y * width + x] = {static_cast<std::uint8_t>((red + TOTAL / 2) / TOTAL),
                                  static_cast<std::uint8_t>((green + TOTAL / 2) / TOTAL),
                                  static_cast<std::uint8_t>((blue + TOTAL / 2) / TOTAL)};
        }
    }
}

void steady_colours(SteadyPicture& steady, Rgb8* picture, int width, int height) {
    const int count = width * height;
    if (width != steady.width || height != steady.height) {
        steady.width = width, steady.height = height;
        std::copy(picture, picture + count, steady.shown);
        std::copy(picture, picture + count, steady.exact_before);
        return;
    }
    const auto near = [](Rgb8 a, Rgb8 b) {
        return std::abs(a.red - b.red) <= STEADY_TOLERANCE && std::abs(a.green - b.green) <= STEADY_TOLERANCE &&
               std::abs(a.blue - b.blue) <= STEADY_TOLERANCE;
    };
    for (int i = 0; i < count; ++i) {
        const Rgb8 exact = picture[i];
        const bool moving = exact != steady.exact_before[i];
        steady.exact_before[i] = exact;
        Rgb8& shown = steady.shown[i];
        if (!moving) {
            shown = exact;
        } else if (!near(exact, shown)) {
            // A colour of the pixel to the left or, for a lower pixel, above (the same cell)
            // where one is near enough: the terminal may then need no colour change for it.
            const bool left = i % width > 0 && near(exact, steady.shown[i - 1]);
            const bool above = !left && (i / width) % 2 == 1 && near(exact, steady.shown[i - width]);
            shown = left ? steady.shown[i - 1] : above ? steady.shown[i - width] : exact;
        }
        picture[i] = shown;
    }
}

void half_block_cells(const Rgb8* picture, int width, int height, int scale, ConsoleColours mode, bool utf8,
                      ScreenCell* out) {
    Memo<TerminalColour> colours;
    colours.clear();
    const auto colour = [&](Rgb8 rgb) { return colours.get(rgb_key(rgb), [&] { return mix_colour(mode, rgb); }); };
    const int columns = scale * width;
    for (int row = 0; row < scale * height / 2; ++row) {
        // The pixel rows of the cell's upper and lower half.
        const Rgb8* upper_row = picture + 2 * row / scale * width;
        const Rgb8* lower_row = picture + (2 * row + 1) / scale * width;
        ScreenCell* cells = out + row * columns;
        for (int x = 0; x < width; ++x) {
            const Rgb8 upper = upper_row[x], lower = lower_row[x];
            ScreenCell cell;
            if (!utf8) {
                const TerminalColour both = colour(average(upper, lower));
                cell = {both, both, SPACE};
            } else {
                const TerminalColour top = colour(upper), bottom = colour(lower);
                cell = {top, bottom, top == bottom ? SPACE : UPPER_HALF_BLOCK};
            }
            std::fill(cells + x * scale, cells + (x + 1) * scale, cell);
        }
    }
}

}  // namespace textdemo
