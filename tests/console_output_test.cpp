// Terminal output of the console display: colour codes and nearest colours, character
// shapes, and the diff writer, the latter checked by replaying its bytes on the terminal
// model, on random frames and on frames of the show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "display/console/console_picture.hpp"
#include "display/console/cp437.hpp"
#include "display/console/screen_writer.hpp"
#include "display/console/terminal_colours.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "song/music_player.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/terminal_model.hpp"

using namespace textdemo;
using test::TerminalModel;
using test::show_archive_path;
using test::model_indexed;

namespace {

const std::string kBegin = "\x1b[?2026h";
const std::string kEnd = "\x1b[?2026l";
const std::string kClear = "\x1b[0m\x1b[2J";

// Console index -> ANSI colour number, by hand: console keeps blue in bit 0, ANSI keeps red.
const int kAnsiOf[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
// The window palette in bytes, by hand.
const int kPaletteRgb[16][3] = {{0, 0, 0},       {0, 0, 128},     {0, 128, 0},   {0, 128, 128}, {128, 0, 0},  {128, 0, 128},
                                {128, 128, 0},   {191, 191, 191}, {128, 128, 128}, {0, 0, 255},  {0, 255, 0},  {0, 255, 255},
                                {255, 0, 0},     {255, 0, 255},   {255, 255, 0}, {255, 255, 255}};

Rgb8 hand_palette(int index) {
    const int* p = kPaletteRgb[index];
    return {static_cast<std::uint8_t>(p[0]), static_cast<std::uint8_t>(p[1]), static_cast<std::uint8_t>(p[2])};
}

TEST(TerminalColours, AllSixteenIndicesInBothPlanes) {
    const int foreground[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
    const int background[16] = {40, 44, 42, 46, 41, 45, 43, 47, 100, 104, 102, 106, 101, 105, 103, 107};
    for (int index = 0; index < 16; ++index) {
        EXPECT_EQ(sgr_foreground(index), foreground[index]) << index;
        EXPECT_EQ(sgr_background(index), background[index]) << index;
        const SgrText fg = sgr_colour(ansi_colour(index), false), bg = sgr_colour(ansi_colour(index), true);
        EXPECT_EQ(std::string(fg.bytes, fg.length), std::to_string(foreground[index]));
        EXPECT_EQ(std::string(bg.bytes, bg.length), std::to_string(background[index]));
    }
}

TEST(TerminalColours, SgrTextOfEveryKind) {
    const auto text = [](TerminalColour colour, bool background) {
        const SgrText sgr = sgr_colour(colour, background);
        return std::string(sgr.bytes, sgr.length);
    };
    EXPECT_EQ(text(indexed_colour(88), false), "38;5;88");
    EXPECT_EQ(text(indexed_colour(255), true), "48;5;255");
    EXPECT_EQ(text(indexed_colour(16), true), "48;5;16");
    EXPECT_EQ(text(rgb_colour({128, 0, 255}), false), "38;2;128;0;255");
    EXPECT_EQ(text(rgb_colour({255, 255, 255}), true), "48;2;255;255;255");
    EXPECT_EQ(text(rgb_colour({0, 0, 0}), true), "48;2;0;0;0");
    EXPECT_EQ(text(DEFAULT_COLOUR, false), "39");
    EXPECT_EQ(text(DEFAULT_COLOUR, true), "49");
    // The writer weighs changes by their length without writing them.
    for (std::uint32_t value = 0; value < 0x1000000; value += 0x10101 * 3 + 1)
        for (TerminalColour colour : {ansi_colour(static_cast<int>(value & 15)), indexed_colour(static_cast<int>(value & 255)),
                                      rgb_colour({static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                                                  static_cast<std::uint8_t>(value)}),
                                      DEFAULT_COLOUR})
            for (bool background : {false, true})
                ASSERT_EQ(sgr_colour_length(colour, background), static_cast<int>(text(colour, background).size())) << colour;
}

// Written in place, in the middle of other text: the text and its end as sgr_colour has
// them, nothing before it touched, nothing past its room.
TEST(TerminalColours, SgrTextWrittenInPlaceStaysInItsRoom) {
    for (TerminalColour colour : {rgb_colour({255, 255, 255}), rgb_colour({7, 80, 200}), indexed_colour(231),
                                  ansi_colour(9), ansi_colour(0), DEFAULT_COLOUR})
        for (bool background : {false, true}) {
            std::string buffer(8 + SGR_COLOUR_ROOM + 8, '#');
            char* const end = put_sgr_colour(buffer.data() + 8, colour, background);
            const SgrText sgr = sgr_colour(colour, background);
            EXPECT_EQ(std::string(buffer.data() + 8, end), std::string(sgr.bytes, sgr.length)) << colour;
            EXPECT_EQ(buffer.substr(0, 8), "########");
            EXPECT_EQ(buffer.substr(8 + SGR_COLOUR_ROOM), "########");
        }
}

// The 256-colour set above 15, written out from its definition, searched exhaustively.
int brute_force_indexed(int r, int g, int b) {
    static const int levels[6] = {0, 95, 135, 175, 215, 255};
    int best = 0, best_distance = 1 << 30;
    for (int index = 16; index < 256; ++index) {
        int c[3];
        if (index < 232) {
            c[0] = levels[(index - 16) / 36], c[1] = levels[(index - 16) / 6 % 6], c[2] = levels[(index - 16) % 6];
        } else {
            c[0] = c[1] = c[2] = 8 + 10 * (index - 232);
        }
        const int d = (r - c[0]) * (r - c[0]) + (g - c[1]) * (g - c[1]) + (b - c[2]) * (b - c[2]);
        if (d < best_distance) best = index, best_distance = d;
    }
    return best;
}

TEST(TerminalColours, NearestIndexedColourIsTheClosestFixedOne) {
    EXPECT_EQ(nearest_indexed_colour({0, 0, 0}), 16);
    EXPECT_EQ(nearest_indexed_colour({255, 255, 255}), 231);
    EXPECT_EQ(nearest_indexed_colour({128, 0, 0}), 88);       // cube level 135
    EXPECT_EQ(nearest_indexed_colour({128, 128, 128}), 244);  // grey 128 exactly
    EXPECT_EQ(nearest_indexed_colour({191, 191, 191}), 250);  // grey 188 beats cube 175
    EXPECT_EQ(nearest_indexed_colour({115, 0, 0}), 52);       // halfway 95/135: the lower
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 7)
            for (int b = 0; b < 256; b += 3) {
                const Rgb8 c{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
                ASSERT_EQ(nearest_indexed_colour(c), brute_force_indexed(r, g, b)) << r << "," << g << "," << b;
            }
}

// Every index's colour by its definition, and back; colours no index shows exactly.
TEST(TerminalColours, FixedColoursAndTheirIndices) {
    static const int levels[6] = {0, 95, 135, 175, 215, 255};
    for (int index = 16; index < 256; ++index) {
        const int grey = 8 + 10 * (index - 232);
        const Rgb8 expected = index < 232 ? Rgb8{static_cast<std::uint8_t>(levels[(index - 16) / 36]),
                                                 static_cast<std::uint8_t>(levels[(index - 16) / 6 % 6]),
                                                 static_cast<std::uint8_t>(levels[(index - 16) % 6])}
                                          : Rgb8{static_cast<std::uint8_t>(grey), static_cast<std::uint8_t>(grey),
                                                 static_cast<std::uint8_t>(grey)};
        ASSERT_EQ(fixed_colour(index), expected) << index;
        ASSERT_EQ(fixed_colour_index(expected), index) << index;
        ASSERT_EQ(nearest_indexed_colour(expected), index) << index;
    }
    EXPECT_EQ(fixed_colour_index({128, 0, 0}), -1);
    EXPECT_EQ(fixed_colour_index({0, 0, 1}), -1);
    EXPECT_EQ(fixed_colour_index({128, 128, 128}), 244);
    EXPECT_EQ(fixed_colour_index({248, 248, 248}), -1);  // past the ramp's last step, 238
    EXPECT_EQ(fixed_colour_index({18, 18, 19}), -1);
    EXPECT_EQ(fixed_colour_index({3, 3, 3}), -1);
}

TEST(TerminalColours, NearestPaletteColourAndEachModesColours) {
    EXPECT_EQ(nearest_palette_index({0, 0, 0}), 0);
    EXPECT_EQ(nearest_palette_index({64, 0, 0}), 0);   // tie with dark red: the lower index
    EXPECT_EQ(nearest_palette_index({65, 0, 0}), 4);
    EXPECT_EQ(nearest_palette_index({200, 190, 180}), 7);
    EXPECT_EQ(nearest_palette_index({159, 159, 159}), 8);  // 31 from 128, 32 from 191
    EXPECT_EQ(nearest_palette_index({160, 160, 160}), 7);
    EXPECT_EQ(nearest_palette_index({250, 10, 240}), 13);
    for (int index = 0; index < 16; ++index) {
        const auto& p = kPaletteRgb[index];
        const Rgb8 rgb = hand_palette(index);
        EXPECT_EQ(palette_rgb8(index), rgb) << index;
        EXPECT_EQ(nearest_palette_index(rgb), index);
        EXPECT_EQ(palette_colour(ConsoleColours::Ansi16, index), ansi_colour(index));
        EXPECT_EQ(palette_colour(ConsoleColours::TrueColour, index), rgb_colour(rgb));
        EXPECT_EQ(palette_colour(ConsoleColours::Indexed256, index), indexed_colour(brute_force_indexed(p[0], p[1], p[2])));
    }
    // Against a search written out here, the first of equal distances winning, over a grid.
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 4) {
                int best = 0, best_distance = 1 << 30;
                for (int index = 0; index < 16; ++index) {
                    const int* p = kPaletteRgb[index];
                    const int d = (r - p[0]) * (r - p[0]) + (g - p[1]) * (g - p[1]) + (b - p[2]) * (b - p[2]);
                    if (d < best_distance) best = index, best_distance = d;
                }
                const Rgb8 c{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
                ASSERT_EQ(nearest_palette_index(c), best) << r << "," << g << "," << b;
            }
    EXPECT_EQ(mix_colour(ConsoleColours::Ansi16, {120, 10, 5}), ansi_colour(4));
    EXPECT_EQ(mix_colour(ConsoleColours::TrueColour, {120, 10, 5}), rgb_colour({120, 10, 5}));
}

TEST(TerminalColours, AutoFollowsColortermThenTerm) {
    const auto chosen = [](const char* colorterm, const char* term) {
        return choose_colours(ConsoleColours::Auto, colorterm, term);
    };
    EXPECT_EQ(chosen("truecolor", "xterm"), ConsoleColours::TrueColour);
    EXPECT_EQ(chosen("24bit", nullptr), ConsoleColours::TrueColour);
    EXPECT_EQ(chosen("yes", "xterm-256color"), ConsoleColours::Indexed256);
    EXPECT_EQ(chosen(nullptr, "tmux-256color"), ConsoleColours::Indexed256);
    EXPECT_EQ(chosen(nullptr, "screen.xterm-256color"), ConsoleColours::Indexed256);
    EXPECT_EQ(chosen("", "xterm"), ConsoleColours::Ansi16);
    EXPECT_EQ(chosen(nullptr, "256color-ish"), ConsoleColours::Ansi16);
    EXPECT_EQ(chosen(nullptr, nullptr), ConsoleColours::Ansi16);
    EXPECT_EQ(chosen("TRUECOLOR", "linux"), ConsoleColours::Ansi16);
    // A choice on the command line wins over the environment.
    EXPECT_EQ(choose_colours(ConsoleColours::Ansi16, "truecolor", "xterm-256color"), ConsoleColours::Ansi16);
    EXPECT_EQ(choose_colours(ConsoleColours::TrueColour, nullptr, "linux"), ConsoleColours::TrueColour);
}

TEST(Cp437Text, ShadeGlyphsInUtf8AndAscii) {
    const char* utf8[16] = {" ", "\xC2\xB7", "\xE2\x88\x99", "\xE2\x80\xA2", "+", "\xE2\x97\x8B", "O", "\xE2\x98\xBC",
                            "\xCE\x98", "O", "\xE2\x97\x8B", "+", "\xE2\x80\xA2", "\xE2\x88\x99", "\xC2\xB7", " "};
    const char ascii[] = " .:*+oO@@Oo+*:. ";
    for (int glyph = 0; glyph < 16; ++glyph) {
        EXPECT_EQ(cp437_text(ShadeChars[glyph], true), utf8[glyph]) << glyph;
        EXPECT_EQ(cp437_text(ShadeChars[glyph], false), std::string(1, ascii[glyph])) << glyph;
    }
}

TEST(Cp437Text, OtherCodesOfCellWords) {
    EXPECT_EQ(cp437_text(0x00, true), " ");
    EXPECT_EQ(cp437_text(0x01, true), "\xE2\x98\xBA");  // smiley
    EXPECT_EQ(cp437_text(0x1B, true), "\xE2\x86\x90");  // left arrow, never a raw ESC
    EXPECT_EQ(cp437_text('A', true), "A");
    EXPECT_EQ(cp437_text(0x7F, true), "\xE2\x8C\x82");  // house
    EXPECT_EQ(cp437_text(0x80, true), "\xC3\x87");      // C cedilla
    EXPECT_EQ(cp437_text(0xB0, true), "\xE2\x96\x91");  // light shade
    EXPECT_EQ(cp437_text(0xDB, true), "\xE2\x96\x88");  // full block
    EXPECT_EQ(cp437_text(0xDF, true), "\xE2\x96\x80");  // upper half block
    EXPECT_EQ(cp437_text(0xE1, true), "\xC3\x9F");      // sharp s
    EXPECT_EQ(cp437_text(0xFF, true), "\xC2\xA0");      // no-break space
    EXPECT_EQ(cp437_text(0xDB, false), "#");
    EXPECT_EQ(cp437_text('A', false), "A");
}

// Whatever an effect writes into a cell word, the terminal gets one printable character.
TEST(Cp437Text, EveryCodeIsOnePrintableCharacter) {
    for (int code = 0; code < 256; ++code) {
        const std::string_view utf8 = cp437_text(static_cast<std::uint8_t>(code), true);
        ASSERT_FALSE(utf8.empty()) << code;
        const auto lead = static_cast<unsigned char>(utf8[0]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
        EXPECT_EQ(utf8.size(), length) << code;
        if (length == 1) {
            EXPECT_TRUE(lead >= 0x20 && lead < 0x7F) << code;
        }
        for (std::size_t i = 1; i < utf8.size(); ++i) {
            EXPECT_EQ(static_cast<unsigned char>(utf8[i]) & 0xC0, 0x80) << code;
        }
        const std::string_view ascii = cp437_text(static_cast<std::uint8_t>(code), false);
        ASSERT_EQ(ascii.size(), 1u) << code;
        EXPECT_TRUE(ascii[0] >= 0x20 && ascii[0] < 0x7F) << code;
        if (code >= 0x20 && code < 0x7F) {
            EXPECT_EQ(ascii[0], code);
        }
    }
}

// Model colour of a terminal colour, worked out by hand.
int model_colour(TerminalColour colour) {
    const std::uint32_t value = colour & 0xFFFFFF;
    switch (colour >> 24) {
        case 0: return test::model_ansi(kAnsiOf[value]);
        case 1: return test::model_indexed(static_cast<int>(value));
        case 2: return test::model_rgb(value >> 16, (value >> 8) & 255, value & 255);
        default: return test::model_default();
    }
}

// The model shows `cell` at (r, c): same character, same background, and the same
// foreground unless the character is a space.
::testing::AssertionResult shows(const TerminalModel& terminal, int r, int c, ScreenCell cell, bool utf8 = true) {
    const int i = terminal.at(r, c);
    const std::string text(cp437_text(cell.character, utf8));
    if (terminal.text[i] != text) return ::testing::AssertionFailure() << r << "," << c << " shows " << terminal.text[i];
    if (terminal.background[i] != model_colour(cell.background))
        return ::testing::AssertionFailure() << r << "," << c << " background " << terminal.background[i];
    if (text != " " && terminal.foreground[i] != model_colour(cell.foreground))
        return ::testing::AssertionFailure() << r << "," << c << " foreground " << terminal.foreground[i];
    return ::testing::AssertionSuccess();
}

// A native cell in the 16 ANSI colours from a character and an attribute byte.
ScreenCell native(std::uint8_t character, int attribute) {
    return {ansi_colour(attribute & 15), ansi_colour(attribute >> 4), character};
}

// The same in 24-bit colour: the palette's bytes.
ScreenCell native_rgb(std::uint8_t character, int attribute) {
    return {rgb_colour(hand_palette(attribute & 15)), rgb_colour(hand_palette(attribute >> 4)), character};
}

void fill(ScreenCell (&cells)[FRAME_CELLS], ScreenCell cell) {
    for (auto& c : cells) c = cell;
}

std::string frame_bytes(ScreenState& screen, const ScreenCell* cells) {
    std::string out;
    write_frame_changes(screen, cells, out);
    return out;
}

TEST(ScreenWriter, FirstFrameRepaintsEverythingAndSpacesNeedNoForeground) {
    static ScreenCell cells[FRAME_CELLS];
    fill(cells, native(32, 0x4C));
    static ScreenState screen;
    std::string expected = kBegin + kClear + "\x1b[1H\x1b[41m" + std::string(80, ' ');
    for (int row = 2; row <= 50; ++row) expected += "\x1b[" + std::to_string(row) + "H" + std::string(80, ' ');
    expected += kEnd;
    EXPECT_EQ(frame_bytes(screen, cells), expected);
}

// A margin colour: the clear paints the terminal in it, and cells of that background need
// no writing (here: the picture's black, a 16-colour black and a 24-bit one).
TEST(ScreenWriter, ClearPaintsTheMarginColour) {
    static ScreenCell cells[FRAME_CELLS];
    fill(cells, native(32, 0x00));
    cells[81] = native(79, 0x0C);
    static ScreenState screen;
    screen.margin = ansi_colour(0);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[0m\x1b[40m\x1b[2J\x1b[2;2H\x1b[91mO" + kEnd);
    screen = ScreenState{};
    screen.margin = rgb_colour({0, 0, 0});
    fill(cells, {DEFAULT_COLOUR, rgb_colour({0, 0, 0}), ' '});
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[0m\x1b[48;2;0;0;0m\x1b[2J" + kEnd);
    EXPECT_EQ(screen.pen.background, rgb_colour({0, 0, 0}));
}

TEST(ScreenWriter, FrameThatLooksTheSameWritesOnlyTheWrapper) {
    static ScreenCell cells[FRAME_CELLS];
    fill(cells, native(250, 0x19));
    static ScreenState screen;
    frame_bytes(screen, cells);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + kEnd);
    // Spaces that change only their (unseen) foreground, and code 0 for a space.
    cells[0] = native(32, 0x12);
    cells[1] = native(32, 0x1F);
    frame_bytes(screen, cells);
    cells[0] = native(32, 0x1E);
    cells[1] = native(0, 0x14);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + kEnd);
}

TEST(ScreenWriter, ChangesMoveTheCursorAndColoursOnlyWhereNeeded) {
    static ScreenCell cells[FRAME_CELLS];
    fill(cells, native(32, 0x08));
    static ScreenState screen;
    frame_bytes(screen, cells);  // all spaces on black

    cells[10 * 80 + 20] = native(79, 0x14);  // dark red on dark blue
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[11;21H\x1b[31;44mO" + kEnd);

    // Same row: a one-cell gap in the pen's colours is rewritten, a wider one skipped.
    cells[10 * 80 + 20] = native(43, 0x14);
    cells[10 * 80 + 21] = native(32, 0x14);
    cells[10 * 80 + 23] = native(79, 0x14);
    cells[10 * 80 + 30] = native(79, 0x1C);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[11;21H+ \x1b[CO\x1b[6C\x1b[91mO" + kEnd);

    // Only the background changes; a space takes no foreground, the row below is reached
    // with a position (never CR LF).
    cells[20 * 80 + 0] = native(32, 0x78);
    cells[20 * 80 + 2] = native(32, 0x28);
    cells[21 * 80 + 0] = native(250, 0x28);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[21H\x1b[47m \x1b[C\x1b[42m \x1b[22H\x1b[90m\xC2\xB7" + kEnd);

    // Colours that swap with the pen's need only reverse video. The row starts where the
    // pen's colours fit, and backspaces come back for the cell left of it.
    cells[30 * 80 + 0] = native(79, 0x82);
    cells[30 * 80 + 1] = native(79, 0x28);
    cells[30 * 80 + 2] = native(79, 0x82);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[31;2HO\x1b[7mO\b\b\bO" + kEnd);

    // Alternating colours go in two passes, each stepping over the other's cells; the
    // second starts two backspaces back (reverse video is still on: the foreground colour
    // set is the one shown behind).
    for (int c = 0; c < 4; ++c) cells[40 * 80 + 10 + c] = native(43, c % 2 ? 0x1E : 0x5A);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[41;11H\x1b[35;102m+\x1b[C+\b\b\x1b[34;103m+\x1b[C+" + kEnd);
}

TEST(ScreenWriter, SmallTerminalClipsAndGrowingRepaints) {
    static ScreenCell cells[FRAME_CELLS];
    fill(cells, native(9, 0x5D));
    static ScreenState screen;
    resize_screen(screen, 20, 30);
    TerminalModel small(20, 30);
    small.apply(frame_bytes(screen, cells));
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 30; ++c) ASSERT_TRUE(shows(small, r, c, cells[r * 80 + c]));

    resize_screen(screen, 60, 100);
    TerminalModel large(60, 100);
    const std::string bytes = frame_bytes(screen, cells);
    EXPECT_NE(bytes.find(kClear), std::string::npos);
    large.apply(bytes);
    for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 80; ++c) ASSERT_TRUE(shows(large, r, c, cells[r * 80 + c]));
    EXPECT_EQ(large.text[large.at(50, 5)], " ");
    EXPECT_EQ(large.text[large.at(5, 85)], " ");
}

// Random frames with sparse and dense changes, colours of every kind, in regions that move
// about a terminal and reach past its edges, replayed on the model, which must always end
// up showing the latest frame and nothing else.
struct ReplayCase {
    unsigned seed;
    bool utf8;
    int rows, columns;                // the terminal
    int most_rows, most_columns;      // of a region
    bool whole_terminal_first;        // the first region is the terminal itself
};

void replay_random_frames(const ReplayCase& replay) {
    std::mt19937 random(replay.seed);
    std::vector<ScreenCell> cells;
    ScreenState screen;
    screen.utf8 = replay.utf8;
    const auto colour = [&]() -> TerminalColour {
        switch (random() % 8) {
            case 0: return indexed_colour(static_cast<int>(random() % 256));
            case 1: return rgb_colour({static_cast<std::uint8_t>(random() % 3), 0, 0});
            case 2: return DEFAULT_COLOUR;
            default: return ansi_colour(static_cast<int>(random() % 4));
        }
    };
    const int rows = replay.rows, columns = replay.columns;
    resize_screen(screen, rows, columns);
    TerminalModel terminal(rows, columns);
    for (int round = 0; round < 6; ++round) {
        const ScreenRegion region =
            round == 0 && replay.whole_terminal_first
                ? ScreenRegion{0, 0, rows, columns}
                : ScreenRegion{static_cast<int>(random() % 8), static_cast<int>(random() % 20),
                               1 + static_cast<int>(random() % static_cast<unsigned>(replay.most_rows)),
                               1 + static_cast<int>(random() % static_cast<unsigned>(replay.most_columns))};
        place_region(screen, region);
        const int count = region.rows * region.columns;
        cells.assign(static_cast<std::size_t>(count), BLANK_CELL);
        for (int frame = 0; frame < 12; ++frame) {
            const int changes = frame % 5 == 0 ? std::max(FRAME_CELLS, count) : static_cast<int>(random() % 300);
            for (int k = 0; k < changes; ++k) {
                ScreenCell& cell = cells[random() % static_cast<unsigned>(count)];
                cell = {colour(), colour(), ShadeChars[random() % 16]};
                if (random() % 20 == 0) cell.character = static_cast<std::uint8_t>(random());
            }
            if (frame == 7) invalidate_screen(screen);
            terminal.apply(frame_bytes(screen, cells.data()));
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c) {
                    const int rr = r - region.top, cc = c - region.left;
                    const bool inside = rr >= 0 && rr < region.rows && cc >= 0 && cc < region.columns;
                    ASSERT_TRUE(
                        shows(terminal, r, c, inside ? cells[rr * region.columns + cc] : BLANK_CELL, replay.utf8))
                        << "round " << round << " frame " << frame;
                }
        }
    }
}

TEST(ScreenWriter, ReplayedBytesAlwaysShowTheLatestFrame) {
    replay_random_frames({7, true, 40, 70, 50, 80, false});
    replay_random_frames({8, false, 55, 100, 50, 80, false});  // ASCII, through the same path
}

// Regions larger than the frame, as a picture scaled up in a large terminal takes: the
// whole 200 x 60 terminal, then regions up to 230 x 70 that reach past it, wider than
// 99 columns so that positions and steps take three digits.
TEST(ScreenWriter, RegionsLargerThanTheFrameAreShownWhole) {
    replay_random_frames({9, true, 60, 200, 70, 230, true});
}

// Stretches of consecutive frames of the show, spread over the music, written in every
// layout and colour mode and replayed on the model. Native shows exactly the converted
// frame, colours worked out here from the attribute; half shows its picture's cells.
TEST(ScreenWriterOnTheShow, EveryWrittenFrameIsShownExactly) {
    ASSERT_TRUE(std::filesystem::exists(show_archive_path())) << "no show archive at " << show_archive_path();
    release_resource_archive();
    set_archive_path(show_archive_path());
    ASSERT_EQ(build_headless_show().message, "");
    const MusicPlayer& player = music_player();
    struct Setup {
        ConsoleLayout layout;
        ConsoleColours colours;
        int rows;
    };
    const Setup setups[] = {{ConsoleLayout::Native, ConsoleColours::Ansi16, 50},
                            {ConsoleLayout::Native, ConsoleColours::TrueColour, 50},
                            {ConsoleLayout::Half, ConsoleColours::Ansi16, 25},
                            {ConsoleLayout::Half, ConsoleColours::Indexed256, 24}};
    GlyphInk glyphs;
    for (int g = 0; g < 16; ++g) glyphs.ink[g] = static_cast<std::uint32_t>(g) * FULL_INK / 15;
    static ScreenState screens[4];
    static SteadyPicture steadies[4];
    std::vector<ScreenCell> cells;
    static ConsoleCell console[FRAME_CELLS];
    std::vector<TerminalModel> terminals;
    for (const Setup& s : setups) terminals.emplace_back(s.rows, 80);
    constexpr int STRETCHES = 8, FRAMES = 20;
    for (int stretch = 0; stretch < STRETCHES && !HasFailure(); ++stretch) {
        for (int f = 0; f < FRAMES; ++f) {
            draw_song_frame(stretch * (player.length / STRETCHES) + f * FRAME_PERIOD_MS);
            convert_frame_console(text_frame().pixels, console);
            for (int s = 0; s < 4; ++s) {
                const ScreenLayout layout = choose_layout(setups[s].layout, setups[s].rows, 80);
                picture_cells(layout, {setups[s].colours, true, glyphs}, steadies[s], text_frame().pixels, cells);
                resize_screen(screens[s], setups[s].rows, 80);
                place_region(screens[s], layout.region);
                terminals[s].apply(frame_bytes(screens[s], cells.data()));
                for (int r = 0; r < layout.region.rows; ++r)
                    for (int c = 0; c < layout.region.columns; ++c) {
                        const int i = r * layout.region.columns + c;
                        const ConsoleCell cell = console[i];
                        const ScreenCell expected = setups[s].layout == ConsoleLayout::Half ? cells[i]
                                                    : setups[s].colours == ConsoleColours::Ansi16
                                                        ? native(cell.character, cell.attribute)
                                                        : native_rgb(cell.character, cell.attribute);
                        ASSERT_TRUE(shows(terminals[s], layout.region.top + r, layout.region.left + c, expected))
                            << "setup " << s << " stretch " << stretch << " frame " << f;
                    }
            }
        }
    }
    EXPECT_EQ(end_headless_show().message, "");
}

// The colour a terminal shows for a model colour of 24-bit or 256-colour output.
Rgb8 model_colour(int model) {
    const int rgb = test::model_as_rgb(model);
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb)};
}

bool within_tolerance(Rgb8 a, Rgb8 b) {
    return std::abs(a.red - b.red) <= STEADY_TOLERANCE && std::abs(a.green - b.green) <= STEADY_TOLERANCE &&
           std::abs(a.blue - b.blue) <= STEADY_TOLERANCE;
}

// A 256-colour index may show a pixel whose exact colour is within STEADY_TOLERANCE of a
// colour it is the nearest index of (nearest_indexed_colour is checked against the brute
// force above): the exact colour and the one within reach nearest the index's are tried
// first, then the whole box.
bool index_may_show(int index, Rgb8 exact) {
    const Rgb8 fixed = model_colour(model_indexed(index));
    const auto reach = [](int value, int centre) {
        return static_cast<std::uint8_t>(std::clamp(value, centre - STEADY_TOLERANCE, centre + STEADY_TOLERANCE));
    };
    const Rgb8 nearest{reach(fixed.red, exact.red), reach(fixed.green, exact.green), reach(fixed.blue, exact.blue)};
    if (nearest_indexed_colour(exact) == index || nearest_indexed_colour(nearest) == index) return true;
    for (int dr = -STEADY_TOLERANCE; dr <= STEADY_TOLERANCE; ++dr)
        for (int dg = -STEADY_TOLERANCE; dg <= STEADY_TOLERANCE; ++dg)
            for (int db = -STEADY_TOLERANCE; db <= STEADY_TOLERANCE; ++db) {
                const int c[3] = {exact.red + dr, exact.green + dg, exact.blue + db};
                if (std::all_of(c, c + 3, [](int v) { return v >= 0 && v <= 255; }) &&
                    brute_force_indexed(c[0], c[1], c[2]) == index)
                    return true;
            }
    return false;
}

// The averaged picture of an 80 x 24 terminal in 24-bit and 256 colours, written frame
// after frame of stretches spread over the whole show and replayed on the model. Every
// pixel the terminal shows is within STEADY_TOLERANCE per channel of the exact area
// average of that frame (in 256 colours: its index is the nearest of a colour that near),
// and a pixel whose exact colour is that of the two frames before shows it exactly (in
// 256 colours: its nearest index).
TEST(ScreenWriterOnTheShow, AveragedPictureStaysNearTheExactAverage) {
    ASSERT_TRUE(std::filesystem::exists(show_archive_path())) << "no show archive at " << show_archive_path();
    release_resource_archive();
    set_archive_path(show_archive_path());
    ASSERT_EQ(build_headless_show().message, "");
    const MusicPlayer& player = music_player();
    GlyphInk glyphs;
    for (int g = 0; g < 16; ++g) glyphs.ink[g] = static_cast<std::uint32_t>(g) * FULL_INK / 15;
    const ScreenLayout layout = choose_layout(ConsoleLayout::Half, 24, 80);
    const int width = layout.picture_width, height = layout.picture_height;
    ASSERT_EQ(width * height, 77 * 48);
    const ConsoleColours modes[2] = {ConsoleColours::TrueColour, ConsoleColours::Indexed256};
    static ScreenState screens[2];
    static SteadyPicture steadies[2];
    static Averaging averaging;
    std::vector<ScreenCell> cells;
    static Rgb8 mixes[FRAME_CELLS], exact_before[2][2 * FRAME_CELLS];
    std::vector<TerminalModel> terminals(2, TerminalModel(24, 80));
    for (ScreenState& screen : screens) {
        resize_screen(screen, 24, 80);
        place_region(screen, layout.region);
    }
    constexpr int STRETCHES = 24, FRAMES = 30;
    int held[2] = {0, 0}, settled[2] = {0, 0};
    for (int stretch = 0; stretch < STRETCHES && !HasFailure(); ++stretch) {
        for (int f = 0; f < FRAMES && !HasFailure(); ++f) {
            draw_song_frame(stretch * (player.length / STRETCHES) + f * FRAME_PERIOD_MS);
            frame_mixes(glyphs, text_frame().pixels, mixes);
            resample_picture(averaging, mixes, width, height);
            const Rgb8* exact = averaging.picture;
            for (int m = 0; m < 2; ++m) {
                picture_cells(layout, {modes[m], true, glyphs}, steadies[m], text_frame().pixels, cells);
                terminals[m].apply(frame_bytes(screens[m], cells.data()));
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) {
                        const TerminalModel& terminal = terminals[m];
                        const int i = terminal.at(layout.region.top + y / 2, layout.region.left + x);
                        const bool upper_half = y % 2 == 0 && terminal.text[i] == "\xE2\x96\x80";
                        const int model = upper_half ? terminal.foreground[i] : terminal.background[i];
                        const Rgb8 shown = model_colour(model), wanted = exact[y * width + x];
                        const bool indexed = modes[m] == ConsoleColours::Indexed256;
                        ASSERT_TRUE(indexed ? index_may_show(model - model_indexed(0), wanted)
                                            : within_tolerance(shown, wanted))
                            << "mode " << m << " stretch " << stretch << " frame " << f << " pixel " << x << "," << y;
                        Rgb8* before = &exact_before[m][2 * (y * width + x)];
                        if (f > 1 && wanted == before[0] && wanted == before[1]) {
                            const Rgb8 exactly =
                                indexed ? model_colour(model_indexed(nearest_indexed_colour(wanted))) : wanted;
                            ASSERT_EQ(shown, exactly)
                                << "mode " << m << " stretch " << stretch << " frame " << f << " pixel " << x << "," << y;
                            ++settled[m];
                        }
                        held[m] += !indexed && shown != wanted;
                        before[1] = before[0];
                        before[0] = wanted;
                    }
            }
        }
    }
    EXPECT_GT(held[0], 0);  // the frames of the show do move in small steps
    EXPECT_GT(settled[0], 0);
    EXPECT_GT(settled[1], 0);
    EXPECT_EQ(end_headless_show().message, "");
}

}  // namespace
