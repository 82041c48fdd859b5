// Terminal output of the console display: colour codes, character shapes and the diff writer,
// the latter checked by replaying its bytes on a small terminal model.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "display/console/cp437.hpp"
#include "display/console/screen_writer.hpp"
#include "display/console/terminal_colours.hpp"

using namespace textdemo;

namespace {

const std::string kBegin = "\x1b[?2026h";
const std::string kEnd = "\x1b[?2026l";
const std::string kClear = "\x1b[0m\x1b[2J";

// Console index -> ANSI code, by hand: console keeps blue in bit 0, ANSI keeps red there.
TEST(TerminalColours, AllSixteenIndicesInBothPlanes) {
    const int foreground[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
    const int background[16] = {40, 44, 42, 46, 41, 45, 43, 47, 100, 104, 102, 106, 101, 105, 103, 107};
    for (int index = 0; index < 16; ++index) {
        EXPECT_EQ(sgr_foreground(index), foreground[index]) << index;
        EXPECT_EQ(sgr_background(index), background[index]) << index;
    }
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

// A terminal reduced to what the writer may use: cursor position, cursor forward, colours
// and printable UTF-8 text, autowrap off. Anything else fails the test.
struct TerminalModel {
    int rows, columns;
    std::vector<std::string> text;  // one UTF-8 character per cell
    std::vector<int> foreground, background;
    int row = 0, column = 0, fg = 39, bg = 49;

    TerminalModel(int r, int c) : rows(r), columns(c), text(r * c, " "), foreground(r * c, 39), background(r * c, 49) {}

    void apply(const std::string& bytes) {
        std::size_t i = 0;
        while (i < bytes.size()) {
            if (bytes[i] != '\x1b') {
                const auto lead = static_cast<unsigned char>(bytes[i]);
                const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
                ASSERT_GE(lead, 0x20u);
                const int cell = row * columns + column;
                text[cell] = bytes.substr(i, length);
                foreground[cell] = fg;
                background[cell] = bg;
                if (column < columns - 1) ++column;
                i += length;
                continue;
            }
            ASSERT_EQ(bytes[i + 1], '[');
            std::size_t end = i + 2;
            while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
            ASSERT_LT(end, bytes.size());
            const std::string params = bytes.substr(i + 2, end - i - 2);
            std::vector<int> numbers;
            if (!params.empty() && params[0] != '?') {
                std::size_t p = 0;
                while (p <= params.size()) {
                    const std::size_t semicolon = std::min(params.find(';', p), params.size());
                    numbers.push_back(semicolon > p ? std::stoi(params.substr(p, semicolon - p)) : 0);
                    p = semicolon + 1;
                }
            }
            switch (bytes[end]) {
                case 'H':
                    row = (numbers.size() > 0 ? numbers[0] : 1) - 1;
                    column = (numbers.size() > 1 ? numbers[1] : 1) - 1;
                    break;
                case 'C': column = std::min(columns - 1, column + (numbers.empty() ? 1 : numbers[0])); break;
                case 'm':
                    for (int n : numbers) {
                        if (n == 0) fg = 39, bg = 49;
                        else if ((n >= 30 && n <= 37) || (n >= 90 && n <= 97)) fg = n;
                        else if ((n >= 40 && n <= 47) || (n >= 100 && n <= 107)) bg = n;
                        else FAIL() << "SGR " << n;
                    }
                    break;
                case 'J':
                    ASSERT_EQ(numbers, std::vector<int>{2});
                    std::fill(text.begin(), text.end(), " ");
                    std::fill(foreground.begin(), foreground.end(), fg);
                    std::fill(background.begin(), background.end(), bg);
                    break;
                case 'h': case 'l': ASSERT_EQ(params, "?2026"); break;
                default: FAIL() << "unexpected sequence " << bytes.substr(i, end - i + 1);
            }
            ASSERT_GE(row, 0);
            ASSERT_LT(row, rows);
            ASSERT_GE(column, 0);
            ASSERT_LT(column, columns);
            i = end + 1;
        }
    }

    // The cell shows the frame cell, with colours worked out by hand from the attribute.
    void expect_shows(int r, int c, ConsoleCell cell, bool utf8 = true) const {
        static const int ansi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
        const int f = cell.attribute & 15, b = cell.attribute >> 4;
        const int i = r * columns + c;
        EXPECT_EQ(text[i], cp437_text(cell.character, utf8)) << r << "," << c;
        EXPECT_EQ(foreground[i], (f < 8 ? 30 : 90) + ansi[f & 7]) << r << "," << c;
        EXPECT_EQ(background[i], (b < 8 ? 40 : 100) + ansi[b & 7]) << r << "," << c;
    }
};

void fill(ConsoleCell (&cells)[FRAME_CELLS], ConsoleCell cell) {
    for (auto& c : cells) c = cell;
}

std::string frame_bytes(ScreenState& screen, const ConsoleCell (&cells)[FRAME_CELLS]) {
    std::string out;
    write_frame_changes(screen, cells, out);
    return out;
}

TEST(ScreenWriter, FirstFrameRepaintsEverything) {
    static ConsoleCell cells[FRAME_CELLS];
    fill(cells, {32, 0x4C});
    static ScreenState screen;
    std::string expected = kBegin + kClear;
    for (int row = 1; row <= 50; ++row) {
        expected += "\x1b[" + std::to_string(row) + "H";
        if (row == 1) expected += "\x1b[91;41m";  // bright red on dark red
        expected += std::string(80, ' ');
    }
    expected += kEnd;
    EXPECT_EQ(frame_bytes(screen, cells), expected);
}

TEST(ScreenWriter, EqualFrameWritesOnlyTheWrapper) {
    static ConsoleCell cells[FRAME_CELLS];
    fill(cells, {250, 0x19});
    static ScreenState screen;
    frame_bytes(screen, cells);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + kEnd);
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + kEnd);
}

TEST(ScreenWriter, ChangesMoveTheCursorAndColoursOnlyWhereNeeded) {
    static ConsoleCell cells[FRAME_CELLS];
    fill(cells, {32, 0x08});
    static ScreenState screen;
    frame_bytes(screen, cells);

    cells[10 * 80 + 20] = {79, 0x14};  // dark red on dark blue
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[11;21H\x1b[31;44mO" + kEnd);

    // Same row: a one-cell gap in the pen's colours is rewritten, a wider one skipped.
    cells[10 * 80 + 20] = {43, 0x14};
    cells[10 * 80 + 21] = {32, 0x14};
    cells[10 * 80 + 23] = {79, 0x14};
    cells[10 * 80 + 30] = {79, 0x1C};
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[11;21H\x1b[31;44m+ \x1b[CO\x1b[6C\x1b[91mO" + kEnd);

    // Only the background changes; a gap of another colour is skipped, not rewritten.
    cells[20 * 80 + 0] = {32, 0x78};
    cells[20 * 80 + 2] = {32, 0x28};
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[21H\x1b[90;47m \x1b[C\x1b[42m " + kEnd);

    // A gap in the next cell's colours is rewritten when that saves the colour change.
    cells[30 * 80 + 0] = {79, 0x14};
    cells[30 * 80 + 2] = {79, 0x08};
    EXPECT_EQ(frame_bytes(screen, cells), kBegin + "\x1b[31H\x1b[31;44mO\x1b[90;40m O" + kEnd);
}

TEST(ScreenWriter, SmallTerminalClipsAndGrowingRepaints) {
    static ConsoleCell cells[FRAME_CELLS];
    fill(cells, {9, 0x5D});
    static ScreenState screen;
    resize_screen(screen, 20, 30);
    TerminalModel small(20, 30);
    small.apply(frame_bytes(screen, cells));
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 30; ++c) small.expect_shows(r, c, cells[r * 80 + c]);

    resize_screen(screen, 60, 100);
    TerminalModel large(60, 100);
    const std::string bytes = frame_bytes(screen, cells);
    EXPECT_NE(bytes.find(kClear), std::string::npos);
    large.apply(bytes);
    for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 80; ++c) large.expect_shows(r, c, cells[r * 80 + c]);
    EXPECT_EQ(large.text[50 * 100 + 5], " ");
    EXPECT_EQ(large.text[5 * 100 + 85], " ");
}

// Random frames with sparse and dense changes, replayed on the model, which must always end
// up showing the latest frame; the ASCII form goes through the same path.
TEST(ScreenWriter, ReplayedBytesAlwaysShowTheLatestFrame) {
    for (bool utf8 : {true, false}) {
        std::mt19937 random(utf8 ? 7 : 8);
        static ConsoleCell cells[FRAME_CELLS];
        static ScreenState screen;
        screen = ScreenState{};
        screen.utf8 = utf8;
        TerminalModel terminal(50, 80);
        fill(cells, {0, 0});
        for (int frame = 0; frame < 40; ++frame) {
            const int changes = frame % 5 == 0 ? FRAME_CELLS : static_cast<int>(random() % 300);
            for (int k = 0; k < changes; ++k) {
                ConsoleCell& cell = cells[random() % FRAME_CELLS];
                cell = {ShadeChars[random() % 16], static_cast<std::uint8_t>(random() % 4 == 0 ? random() : 0x4C)};
                if (random() % 50 == 0) cell.character = static_cast<std::uint8_t>(random());
            }
            terminal.apply(frame_bytes(screen, cells));
            for (int i = 0; i < FRAME_CELLS; ++i) terminal.expect_shows(i / 80, i % 80, cells[i], utf8);
            if (HasFailure()) return;
        }
    }
}

}  // namespace
