// What the console finds out by asking: the answers of real terminals (recorded under Xvfb
// from xterm 379, xterm -ti vt340, kitty 0.26, mlterm 3.9, alacritty 0.11 and tmux 3.3 in
// xterm, each at 80 x 24 (tmux: 80 x 23 inside), with the environment each sets) through the key decoder, and the
// choices made from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/console/key_decoder.hpp"
#include "display/console/pixel_layout.hpp"
#include "display/console/terminal_queries.hpp"

namespace textdemo {
namespace {

struct Recorded {
    const char* terminal;
    std::string answers;              // every byte the terminal sent back to TERMINAL_QUERIES
    int rows;                         // 80 columns
    int width_pixels, height_pixels;  // TIOCGWINSZ
    const char* colorterm;            // as the terminal sets it; null: unset
    const char* term;
    // Expected:
    bool finished, kitty_graphics, sixel;
    ConsoleColours colours;
    CellSize cell;
};

const Recorded kTerminals[] = {
    {"xterm", "\x1bP1$r0;38:2::1:2:3m\x1b\\\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c", 24, 484, 316, nullptr, "xterm",
     true, false, false, ConsoleColours::TrueColour, {6, 13}},
    {"xterm -ti vt340", "\x1bP1$r0;38:2::1:2:3m\x1b\\\x1b[?63;1;2;4;6;9;15;16;22;28c", 24, 484, 316, nullptr, "xterm",
     true, false, true, ConsoleColours::TrueColour, {6, 13}},
    {"kitty",
     "\x1b_Gi=31;OK\x1b\\\x1bP1$r38:2:1:2:3m\x1b\\\x1b[6;18;9t"
     "\x1b[4;432;720t\x1b[?62;c",
     24, 720, 432, "truecolor", "xterm-kitty", true, true, false, ConsoleColours::TrueColour, {9, 18}},
    {"kitty over ssh", "\x1b_Gi=31;OK\x1b\\\x1bP1$r38:2:1:2:3m\x1b\\\x1b[6;18;9t\x1b[?62;c", 24, 0, 0, nullptr,
     "xterm-kitty", true, true, false, ConsoleColours::TrueColour, {9, 18}},
    {"mlterm",
     "\x1bP1$r0;38;5;16m\x1b\\\x1b[6;19;10t\x1b[4;456;800t"
     "\x1b[?63;1;2;3;4;6;7;15;18;22;29c",
     24, 800, 456, nullptr, "mlterm", true, false, true, ConsoleColours::Indexed256, {10, 19}},
    {"alacritty", "\x1b[4;432;720t\x1b[?6c", 24, 720, 432, "truecolor", "alacritty", true, false, false,
     ConsoleColours::TrueColour, {9, 18}},
    {"alacritty without pixels from the kernel", "\x1b[4;432;720t\x1b[?6c", 24, 0, 0, nullptr, "alacritty", true,
     false, false, ConsoleColours::Ansi16, {9, 18}},
    {"tmux", "\x1b[?1;2c", 23, 480, 299, nullptr, "tmux-256color", true, false, false, ConsoleColours::Indexed256,
     {6, 13}},
    {"a terminal that answers nothing", "", 24, 0, 0, nullptr, "linux", false, false, false, ConsoleColours::Ansi16,
     {0, 0}},
};

TEST(TerminalQueries, ChoicesFromTheAnswersOfRealTerminals) {
    for (const Recorded& t : kTerminals) {
        // In two reads, cut in the middle, as a slow terminal might send them.
        KeyDecoder decoder;
        std::vector<KeyRecord> keys;
        std::vector<TerminalReply> replies;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(t.answers.data());
        const std::size_t half = t.answers.size() / 2;
        TerminalAnswers answers;
        decode_keys(decoder, bytes, half, 1000, keys, replies);
        read_terminal_answers(answers, replies);
        replies.clear();
        decode_keys(decoder, bytes + half, t.answers.size() - half, 1016, keys, replies);
        read_terminal_answers(answers, replies);
        EXPECT_TRUE(keys.empty()) << t.terminal;
        EXPECT_EQ(answers.finished, t.finished) << t.terminal;
        EXPECT_EQ(answers.kitty_graphics, t.kitty_graphics) << t.terminal;
        EXPECT_EQ(answers.sixel, t.sixel) << t.terminal;
        EXPECT_EQ(detected_colours(ConsoleColours::Auto, answers, t.colorterm, t.term), t.colours) << t.terminal;
        const CellSize cell = cell_size(80, t.rows, t.width_pixels, t.height_pixels, answers);
        EXPECT_EQ(cell.width, t.cell.width) << t.terminal;
        EXPECT_EQ(cell.height, t.cell.height) << t.terminal;
        // The command line wins.
        EXPECT_EQ(detected_colours(ConsoleColours::Ansi16, answers, "truecolor", t.term), ConsoleColours::Ansi16);
        EXPECT_EQ(detected_colours(ConsoleColours::TrueColour, answers, nullptr, "linux"), ConsoleColours::TrueColour);
    }
}

TerminalAnswers answered(std::vector<TerminalReply> replies) {
    TerminalAnswers answers;
    read_terminal_answers(answers, replies);
    return answers;
}

TerminalReply sequence(char marker, const char* parameters, char final_byte, const char* intermediates = "") {
    return {ReplyKind::ControlSequence, marker, intermediates, final_byte, parameters};
}

TerminalReply device_control(const char* body) { return {ReplyKind::DeviceControl, 0, "", 0, body}; }

// Answers that look close to the ones asked for but are not them.
TEST(TerminalQueries, OnlyTheAnswersAskedForCount) {
    EXPECT_FALSE(answered({sequence('>', "1;4000;0", 'c')}).finished);  // secondary attributes
    EXPECT_FALSE(answered({sequence('?', "4", 'c', "$")}).finished);
    EXPECT_FALSE(answered({sequence('?', "4;1", 'c')}).sixel);  // 4 as the class is not sixel
    EXPECT_TRUE(answered({sequence('?', "4;1", 'c')}).finished);
    EXPECT_TRUE(answered({sequence('?', "62;22;4", 'c')}).sixel);
    EXPECT_EQ(answered({sequence(0, "6;18", 't')}).cell, CellSize{});
    EXPECT_EQ(answered({sequence(0, "8;24;80", 't')}).cell, CellSize{});
    EXPECT_EQ(answered({sequence('?', "6;18;9", 't')}).cell, CellSize{});
    EXPECT_EQ(answered({{ReplyKind::ProgramCommand, 0, "", 0, "Gi=31;ENOTSUPPORTED:no"}}).kitty_graphics, false);
    EXPECT_EQ(answered({{ReplyKind::ProgramCommand, 0, "", 0, "Gi=3;OK"}}).kitty_graphics, false);
    EXPECT_EQ(answered({{ReplyKind::OperatingSystem, 0, "", 0, "Gi=31;OK"}}).kitty_graphics, false);
    EXPECT_EQ(answered({device_control("0$r")}).colours, ConsoleColours::Auto);           // not understood
    EXPECT_EQ(answered({device_control("1$r0;38;2;1;2;33m")}).colours, ConsoleColours::Auto);
    EXPECT_EQ(answered({device_control("1$r0;138;5;1m")}).colours, ConsoleColours::Auto);
    EXPECT_EQ(answered({device_control("1$r38;2;1;2;3")}).colours, ConsoleColours::Auto);  // no final m
    EXPECT_EQ(answered({device_control("1$r0;38;5;16m")}).colours, ConsoleColours::Indexed256);
    EXPECT_EQ(answered({device_control("1$r0;38;5;16m"), device_control("1$r38;2;1;2;3m")}).colours,
              ConsoleColours::TrueColour);
    EXPECT_EQ(answered({device_control("1$r38;2;1;2;3m"), device_control("1$r0;38;5;16m")}).colours,
              ConsoleColours::TrueColour);
    EXPECT_EQ(answered({device_control("1+r524742=382F382F38")}).colours, ConsoleColours::Auto);  // not asked
}

// The kernel's pixel size first (divided into whole cells: xterm counts its border in),
// else the cell size the terminal told, else its window size; implausible sizes are unknown.
TEST(TerminalQueries, CellSizeFromThePixelSizes) {
    TerminalAnswers told;
    told.cell = {8, 16};
    told.window_width = 1000;
    told.window_height = 500;
    EXPECT_EQ(cell_size(80, 24, 484, 316, told), (CellSize{6, 13}));
    EXPECT_EQ(cell_size(80, 24, 0, 316, told), (CellSize{8, 16}));
    EXPECT_EQ(cell_size(80, 24, 80, 24, told), (CellSize{8, 16}));  // 1 x 1 pixel cells
    told.cell = {};
    EXPECT_EQ(cell_size(100, 50, 0, 0, told), (CellSize{10, 10}));
    EXPECT_EQ(cell_size(0, 0, 0, 0, told), CellSize{});
    told.window_width = 60000;
    EXPECT_EQ(cell_size(100, 50, 0, 0, told), CellSize{});
    EXPECT_EQ(cell_size(2, 2, 1024, 1024, TerminalAnswers{}), (CellSize{512, 512}));
    EXPECT_EQ(cell_size(2, 2, 1026, 1026, TerminalAnswers{}), CellSize{});
}

// kitty's recorded answers fed as a busy kitty sends them, in pieces long after the start's
// wait of 8 frames: taken in while the round is open, which the device attributes close.
// Reads are taken in only while the round is open, as the console does.
TEST(TerminalQueries, LateAnswersCountUntilTheAttributesOrTheBound) {
    const std::string kitty =
        "\x1b_Gi=31;OK\x1b\\\x1bP1$r38:2:1:2:3m\x1b\\\x1b[6;18;9t\x1b[4;432;720t\x1b[?62;c";
    const std::uint32_t sent_ms = 0xFFFFFF00;  // the millisecond clock wraps meanwhile
    KeyDecoder decoder;
    std::vector<KeyRecord> keys;
    TerminalAnswers answers;
    const auto read_at = [&](std::uint32_t after_ms, const std::string& bytes) {
        std::vector<TerminalReply> replies;
        decode_keys(decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), sent_ms + after_ms, keys,
                    replies);
        if (queries_round_open(answers, sent_ms, sent_ms + after_ms)) read_terminal_answers(answers, replies);
    };
    EXPECT_TRUE(queries_round_open(answers, sent_ms, sent_ms + 128));
    read_at(400, kitty.substr(0, 12));  // the kitty answer alone
    EXPECT_TRUE(answers.kitty_graphics);
    EXPECT_EQ(answers.colours, ConsoleColours::Auto);
    EXPECT_TRUE(queries_round_open(answers, sent_ms, sent_ms + 1000));
    read_at(2900, kitty.substr(12));
    EXPECT_TRUE(answers.finished);
    EXPECT_FALSE(queries_round_open(answers, sent_ms, sent_ms + 2901));
    EXPECT_TRUE(keys.empty());
    // kitty's 80 x 24 cells of 9 x 18 pixels hold the picture unenlarged: auto takes pixels.
    const CellSize cell = cell_size(80, 24, 0, 0, answers);
    EXPECT_EQ(cell, (CellSize{9, 18}));
    EXPECT_EQ(choose_pixel_layout(ConsoleLayout::Auto, answers.kitty_graphics, answers.sixel, 24, 80, cell).protocol,
              PixelProtocol::Kitty);
    EXPECT_EQ(detected_colours(ConsoleColours::Auto, answers, nullptr, "xterm-kitty"), ConsoleColours::TrueColour);

    // A terminal that answers nothing: the round ends LATE_ANSWERS_MS after the queries, and
    // a kitty answer later still is not taken.
    answers = TerminalAnswers{};
    decoder = KeyDecoder{};
    EXPECT_TRUE(queries_round_open(answers, sent_ms, sent_ms + LATE_ANSWERS_MS - 1));
    EXPECT_FALSE(queries_round_open(answers, sent_ms, sent_ms + LATE_ANSWERS_MS));
    read_at(LATE_ANSWERS_MS, kitty.substr(0, 12));
    EXPECT_FALSE(answers.kitty_graphics);
    EXPECT_TRUE(keys.empty());
}

}  // namespace
}  // namespace textdemo
