#include "display/console/half_block.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
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

void fill_weights(AxisWeights& axis, int size, int source_size) {
    int next = 0;
    for (int target = 0; target < size; ++target) {
        const int begin = target * source_size, end = begin + source_size;
        axis.first[target] = begin / size;
        axis.start[target] = next;
        axis.count[target] = 0;
        for (int i = axis.first[target]; i * size < end; ++i, ++axis.count[target])
            axis.weight[next++] = std::min(end, (i + 1) * size) - std::max(begin, i * size);
    }
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
void resample_picture(Averaging& averaging, const Rgb8 (&picture)[FRAME_CELLS], int width, int height) {
    Averaging& a = averaging;
    if (width == FRAME_WIDTH && height == FRAME_HEIGHT) {
        std::copy(std::begin(picture), std::end(picture), a.picture);
        std::fill(std::begin(a.row_changed), std::end(a.row_changed), true);
        a.width = 0;
        return;
    }
    const bool new_size = width != a.width || height != a.height;
    if (new_size) {
        a.width = width, a.height = height;
        fill_weights(a.columns, width, FRAME_WIDTH);
        fill_weights(a.rows, height, FRAME_HEIGHT);
    }
    bool source_changed[FRAME_HEIGHT];
    for (int source_row = 0; source_row < FRAME_HEIGHT; ++source_row) {
        const Rgb8* source = &picture[source_row * FRAME_WIDTH];
        Rgb8* kept = &a.source[source_row * FRAME_WIDTH];
        source_changed[source_row] = new_size || std::memcmp(source, kept, FRAME_WIDTH * sizeof(Rgb8)) != 0;
        if (!source_changed[source_row]) continue;
        std::copy(source, source + FRAME_WIDTH, kept);
        for (int x = 0; x < width; ++x) {
            const Rgb8* covered = source + a.columns.first[x];
            const int* weights = a.columns.weight + a.columns.start[x];
            Averaging::Sums sums{0, 0, 0};
            for (int i = 0; i < a.columns.count[x]; ++i) {
                sums.red += weights[i] * covered[i].red;
                sums.green += weights[i] * covered[i].green;
                sums.blue += weights[i] * covered[i].blue;
            }
            a.across[source_row][x] = sums;
        }
    }
    constexpr int TOTAL = FRAME_WIDTH * FRAME_HEIGHT;
    for (int y = 0; y < height; ++y) {
        const int first = a.rows.first[y], count = a.rows.count[y];
        const int* weights = a.rows.weight + a.rows.start[y];
        a.row_changed[y] = std::any_of(source_changed + first, source_changed + first + count, [](bool c) { return c; });
        if (!a.row_changed[y]) continue;
        for (int x = 0; x < width; ++x) {
            int red = 0, green = 0, blue = 0;
            for (int j = 0; j < count; ++j) {
                const Averaging::Sums& sums = a.across[first + j][x];
                red += weights[j] * sums.red;
                green += weights[j] * sums.green;
                blue += weights[j] * sums.blue;
            }
            a.picture[y * width + x] = {static_cast<std::uint8_t>((red + TOTAL / 2) / TOTAL),
                                        static_cast<std::uint8_t>((green + TOTAL / 2) / TOTAL),
                                        static_cast<std::uint8_t>((blue + TOTAL / 2) / TOTAL)};
        }
    }
}

namespace {

// Each channel within STEADY_TOLERANCE, without a branch: a difference in range turns into
// 0 .. 2 x STEADY_TOLERANCE, any other into more.
bool near(Rgb8 a, Rgb8 b) {
    const auto far = [](int x, int y) {
        return static_cast<int>(static_cast<unsigned>(x - y + STEADY_TOLERANCE) > 2 * STEADY_TOLERANCE);
    };
    return (far(a.red, b.red) | far(a.green, b.green) | far(a.blue, b.blue)) == 0;
}

// The colour nearest `colour` within STEADY_TOLERANCE of `centre`, channel by channel.
Rgb8 nearest_within(Rgb8 colour, Rgb8 centre) {
    const auto channel = [](int value, int middle) {
        return static_cast<std::uint8_t>(std::clamp(value, middle - STEADY_TOLERANCE, middle + STEADY_TOLERANCE));
    };
    return {channel(colour.red, centre.red), channel(colour.green, centre.green), channel(colour.blue, centre.blue)};
}

// The colours of indices 16..255 (below them: unused), looked up often.
const std::array<Rgb8, 256> FIXED_COLOURS = [] {
    std::array<Rgb8, 256> colours{};
    for (int index = 16; index < 256; ++index) colours[index] = fixed_colour(index);
    return colours;
}();

// For each channel value the cube level (0..5) within STEADY_TOLERANCE of it, or -1 (the
// levels lie 40 or more apart), and the first and last grey steps (0..23, of 8, 18 .. 238)
// within it (the first past the last where none is).
struct FixedReach {
    std::int8_t level[256];
    std::int8_t first_grey[256], last_grey[256];
};
const FixedReach FIXED_REACH = [] {
    FixedReach reach{};
    for (int v = 0; v < 256; ++v) {
        reach.level[v] = -1;
        for (std::int8_t level = 0; level < 6; ++level)
            if (std::abs(v - fixed_colour(16 + level).blue) <= STEADY_TOLERANCE) reach.level[v] = level;
        reach.first_grey[v] = 24, reach.last_grey[v] = -1;
        for (std::int8_t step = 23; step >= 0; --step)
            if (std::abs(v - fixed_colour(232 + step).blue) <= STEADY_TOLERANCE) reach.first_grey[v] = step;
        for (std::int8_t step = 0; step < 24; ++step)
            if (std::abs(v - fixed_colour(232 + step).blue) <= STEADY_TOLERANCE) reach.last_grey[v] = step;
    }
    return reach;
}();

// A colour of index 16..255 within STEADY_TOLERANCE of `colour` (a cube colour before a
// grey), or `colour` itself where there is none.
Rgb8 fixed_colour_near(Rgb8 colour) {
    const FixedReach& f = FIXED_REACH;
    const int r = f.level[colour.red], g = f.level[colour.green], b = f.level[colour.blue];
    const int first = std::max({f.first_grey[colour.red], f.first_grey[colour.green], f.first_grey[colour.blue]});
    const int last = std::min({f.last_grey[colour.red], f.last_grey[colour.green], f.last_grey[colour.blue]});
    const int index = (r | g | b) >= 0 ? 16 + 36 * r + 6 * g + b : first <= last ? 232 + first : 0;
    return index > 0 ? FIXED_COLOURS[index] : colour;
}

// What a pixel shows in each colour mode once its exact colour holds still (settled), and
// where it must change and no neighbour's colour is near enough (fresh). In 24-bit colour
// a fixed colour near enough is the shorter code.
struct TrueColourRules {
    static constexpr bool INDEXED = false;
    static Rgb8 settled(Rgb8 exact) { return exact; }
    static Rgb8 fresh(Rgb8 exact) { return fixed_colour_near(exact); }
};

// 16 colours: the colour held is mapped to the nearest palette colour afterwards.
struct PaletteRules {
    static constexpr bool INDEXED = false;
    static Rgb8 settled(Rgb8 exact) { return exact; }
    static Rgb8 fresh(Rgb8 exact) { return exact; }
};

// 256 colours: every colour shown is an index's, the nearest index's where it must change.
// The nearest indices found are kept, by colour: colours come back frame after frame.
struct IndexedRules {
    static constexpr bool INDEXED = true;
    NearestIndices& known;
    Rgb8 settled(Rgb8 exact) const {
        const std::uint32_t key = rgb_key(exact), tagged = key | 1u << 24;
        const std::uint32_t slot = (key * 2654435761u) >> (32 - NearestIndices::BITS);
        if (known.keys[slot] != tagged) {
            known.keys[slot] = tagged;
            known.index[slot] = static_cast<std::uint8_t>(nearest_indexed_colour(exact));
        }
        return FIXED_COLOURS[known.index[slot]];
    }
    Rgb8 fresh(Rgb8 exact) const { return settled(exact); }
};

// Where steady_colours works: the picture's rows of what was shown and why it may be (in
// 256 colours a colour whose nearest index is the one shown, else the shown colour itself),
// the exact colours of the frame before and how long each held still.
struct SteadyRows {
    const Rgb8* exact;
    Rgb8* shown;
    Rgb8* witness;
    Rgb8* before;
    std::uint8_t* still;
};

// One pixel's next colour. `left` and `other` are pixels already decided this frame whose
// colours it may take (-1: none). A shown colour stays while its witness is within reach
// of the exact colour; in 256 colours a new witness is looked for first (the exact colour,
// or the colour within reach nearest to the index's) before the index changes.
template <typename Rules>
[[gnu::always_inline]] inline void steady_pixel(const Rules& rules, SteadyRows rows, int i, int left, int other) {
    const Rgb8 now = rows.exact[i];
    const bool moved = now != rows.before[i];
    rows.before[i] = now;
    Rgb8& shown = rows.shown[i];
    Rgb8& witness = rows.witness[i];
    if (!moved) {
        if (rows.still[i] == 2) return;
        if (++rows.still[i] == 2) {
            shown = rules.settled(now);
            witness = now;
            return;
        }
    } else {
        rows.still[i] = 0;
    }
    if (near(witness, now)) return;
    Rgb8 fresh{};  // in 256 colours the exact colour's nearest, else found where needed
    if constexpr (Rules::INDEXED) {
        fresh = rules.fresh(now);
        if (fresh == shown) {
            witness = now;
            return;
        }
        const Rgb8 reach = nearest_within(shown, now);
        if (rules.settled(reach) == shown) {
            witness = reach;
            return;
        }
    }
    const int taken = left >= 0 && near(rows.witness[left], now)     ? left
                      : other >= 0 && near(rows.witness[other], now) ? other
                                                                     : -1;
    if (taken >= 0) {
        shown = rows.shown[taken];
        witness = rows.witness[taken];
    } else {
        shown = Rules::INDEXED ? fresh : rules.fresh(now);
        witness = Rules::INDEXED ? now : shown;
    }
}

// Both halves of a cell in one colour where one half's witness is within reach of the
// other's exact colour.
[[gnu::always_inline]] inline void share_cell_colour(SteadyRows rows, int upper, int lower) {
    if (rows.shown[upper] == rows.shown[lower]) return;
    const auto take = [&](int to, int from) {
        rows.shown[to] = rows.shown[from];
        rows.witness[to] = rows.witness[from];
    };
    if (rows.still[lower] < 2 && near(rows.witness[upper], rows.exact[lower]))
        take(lower, upper);
    else if (rows.still[upper] < 2 && near(rows.witness[lower], rows.exact[upper]))
        take(upper, lower);
}

// Cell by cell, upper pixel first; a pair of rows that held still and shows its settled
// colours is passed over.
template <typename Rules>
void steady_cells(const Rules& rules, SteadyPicture& steady, const Rgb8* exact, int width, int height) {
    Rgb8* const witness = Rules::INDEXED ? steady.witness : steady.shown;
    const SteadyRows rows{exact, steady.shown, witness, steady.exact_before, steady.still};
    const int count = width * height;
    if (width != steady.width || height != steady.height) {
        steady.width = width, steady.height = height;
        for (int i = 0; i < count; ++i) steady.shown[i] = rules.settled(exact[i]);
        if (Rules::INDEXED) std::copy(exact, exact + count, steady.witness);
        std::copy(exact, exact + count, steady.exact_before);
        std::fill(steady.still, steady.still + count, 0);
        std::fill(std::begin(steady.row_settled), std::end(steady.row_settled), false);
        return;
    }
    for (int y = 0; y < height; y += 2) {
        const bool pair = y + 1 < height;
        const int begin = y * width, end = std::min(count, begin + 2 * width);
        bool& settled = steady.row_settled[y / 2];
        const std::size_t bytes = static_cast<std::size_t>(end - begin) * sizeof(Rgb8);
        if (settled && std::memcmp(exact + begin, steady.exact_before + begin, bytes) == 0) continue;
        for (int x = 0; x < width; ++x) {
            const int upper = begin + x, lower = upper + width;
            steady_pixel(rules, rows, upper, x > 0 ? upper - 1 : -1, -1);
            if (!pair) continue;
            steady_pixel(rules, rows, lower, x > 0 ? lower - 1 : -1, upper);
            share_cell_colour(rows, upper, lower);
        }
        settled = std::all_of(steady.still + begin, steady.still + end, [](std::uint8_t still) { return still == 2; });
    }
}

}  // namespace

void steady_colours(SteadyPicture& steady, const Rgb8* exact, int width, int height, ConsoleColours mode) {
    if (mode != steady.mode) steady.mode = mode, steady.width = 0;
    switch (mode) {
        case ConsoleColours::TrueColour: steady_cells(TrueColourRules{}, steady, exact, width, height); break;
        case ConsoleColours::Indexed256: steady_cells(IndexedRules{steady.nearest}, steady, exact, width, height); break;
        default: steady_cells(PaletteRules{}, steady, exact, width, height); break;
    }
}

void half_block_cells(const Rgb8* picture, int width, int height, int scale, ConsoleColours mode, bool utf8,
                      ScreenCell* out) {
    Memo<TerminalColour> colours;
    colours.clear();
    const auto colour = [&](Rgb8 rgb) {
        const int fixed = mode == ConsoleColours::Ansi16 ? -1 : fixed_colour_index(rgb);
        if (fixed >= 0) return indexed_colour(fixed);
        if (mode == ConsoleColours::TrueColour) return rgb_colour(rgb);
        return colours.get(rgb_key(rgb), [&] { return mix_colour(mode, rgb); });
    };
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
