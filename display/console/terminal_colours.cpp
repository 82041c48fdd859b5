#include "display/console/terminal_colours.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace textdemo {

namespace {

// The decimal digits of 0..255, then their count.
constexpr auto DECIMAL = [] {
    std::array<std::array<char, 4>, 256> table{};
    for (int value = 0; value < 256; ++value) {
        std::array<char, 4>& text = table[value];
        if (value >= 100) text[text[3]++] = static_cast<char>('0' + value / 100);
        if (value >= 10) text[text[3]++] = static_cast<char>('0' + value / 10 % 10);
        text[text[3]++] = static_cast<char>('0' + value % 10);
    }
    return table;
}();

// Writes the digits of 0..255 and returns their end; writes 4 bytes whatever the length.
char* put_number(char* at, int value) {
    std::memcpy(at, DECIMAL[value].data(), 4);
    return at + DECIMAL[value][3];
}

constexpr int square(int value) { return value * value; }

int distance(Rgb8 a, int red, int green, int blue) {
    return square(a.red - red) + square(a.green - green) + square(a.blue - blue);
}

// Index 0..5 of the cube level closest to each channel value; the lower level wins a tie.
constexpr auto NEAREST_LEVEL = [] {
    std::array<std::uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value)
        for (std::uint8_t i = 1; i < 6; ++i)
            if (square(value - CUBE_LEVELS[i]) < square(value - CUBE_LEVELS[table[value]])) table[value] = i;
    return table;
}();

}  // namespace

char* put_sgr_colour(char* at, TerminalColour colour, bool background) {
    const int base = background ? 40 : 30;
    switch (colour & 0xFF000000u) {
        case ANSI_KIND:
            return put_number(at, background ? sgr_background(static_cast<int>(colour & 15))
                                             : sgr_foreground(static_cast<int>(colour & 15)));
        case INDEXED_KIND:
            at = put_number(at, base + 8);
            std::memcpy(at, ";5;", 3);
            return put_number(at + 3, static_cast<int>(colour & 0xFF));
        case RGB_KIND:
            at = put_number(at, base + 8);
            std::memcpy(at, ";2", 2);
            at += 2;
            for (int shift = 16; shift >= 0; shift -= 8) {
                *at++ = ';';
                at = put_number(at, static_cast<int>((colour >> shift) & 0xFF));
            }
            return at;
        default: return put_number(at, base + 9);
    }
}

SgrText sgr_colour(TerminalColour colour, bool background) {
    SgrText text{};
    text.length = static_cast<std::uint8_t>(put_sgr_colour(text.bytes, colour, background) - text.bytes);
    return text;
}

// The distance and the index in one key, distance above: the smallest key is the nearest
// colour with the lowest index, found without branches.
int nearest_palette_index(Rgb8 colour) {
    int best = 1 << 30;
    for (int index = 0; index < 16; ++index) {
        const Rgb8 p = TextPaletteRgb8[index];
        best = std::min(best, distance(colour, p.red, p.green, p.blue) << 4 | index);
    }
    return best & 15;
}

// The cube's nearest colour is the nearest level in each channel on its own; the grey
// ramp's is the step nearest the channels' mean. The cube's indices come first, so it wins
// a tie, and within each the lower index does.
int nearest_indexed_colour(Rgb8 colour) {
    const int r = NEAREST_LEVEL[colour.red], g = NEAREST_LEVEL[colour.green], b = NEAREST_LEVEL[colour.blue];
    const int cube_distance = distance(colour, CUBE_LEVELS[r], CUBE_LEVELS[g], CUBE_LEVELS[b]);
    const int mean_times_3 = colour.red + colour.green + colour.blue;
    int step = (mean_times_3 - 3 * 8) / 30;  // the step at or below the mean
    if (step < 0) step = 0;
    if (step > GREY_STEPS - 1) step = GREY_STEPS - 1;
    const auto grey_distance = [&](int s) { return distance(colour, grey_step_level(s), grey_step_level(s), grey_step_level(s)); };
    if (step + 1 < GREY_STEPS && grey_distance(step + 1) < grey_distance(step)) ++step;
    if (grey_distance(step) < cube_distance) return 232 + step;
    return 16 + 36 * r + 6 * g + b;
}

Rgb8 fixed_colour(int index) {
    if (index >= 232) {
        const auto grey = static_cast<std::uint8_t>(grey_step_level(std::min(index, 255) - 232));
        return {grey, grey, grey};
    }
    const int cube = std::max(index, 16) - 16;
    const auto level = [](int i) { return static_cast<std::uint8_t>(CUBE_LEVELS[i]); };
    return {level(cube / 36), level(cube / 6 % 6), level(cube % 6)};
}

TerminalColour palette_colour(ConsoleColours mode, int console_index) {
    if (mode == ConsoleColours::Ansi16) return ansi_colour(console_index);
    return mix_colour(mode, palette_rgb8(console_index));
}

TerminalColour mix_colour(ConsoleColours mode, Rgb8 colour) {
    switch (mode) {
        case ConsoleColours::TrueColour: return rgb_colour(colour);
        case ConsoleColours::Indexed256: return indexed_colour(nearest_indexed_colour(colour));
        default: return ansi_colour(nearest_palette_index(colour));
    }
}

ConsoleColours choose_colours(ConsoleColours asked, const char* colorterm, const char* term) {
    if (asked != ConsoleColours::Auto) return asked;
    if (colorterm && (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0))
        return ConsoleColours::TrueColour;
    if (term && std::string_view(term).ends_with("256color")) return ConsoleColours::Indexed256;
    return ConsoleColours::Ansi16;
}

}  // namespace textdemo
