// Keys out of terminal bytes: a lone ESC is Escape, escape sequences and Alt + key are
// nothing, a sequence left open goes on in the next read or is given up after a short time,
// and the terminal's replies come out whole, never as keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/console/key_decoder.hpp"
#include "resources/archive.hpp"
#include "show/timeline.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"

using namespace textdemo;

namespace {

// Reads one frame apart, 16 ms by default.
struct Reads {
    KeyDecoder decoder;
    std::uint32_t now_ms = 1000;
    std::vector<TerminalReply> replies;  // all so far
};

// One read's bytes, `after_ms` after the last; returns the keys as text: 'E' for Escape,
// the character otherwise.
std::string keys(Reads& reads, const std::string& bytes, std::uint32_t after_ms = 16) {
    reads.now_ms += after_ms;
    std::vector<KeyRecord> records;
    decode_keys(reads.decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), reads.now_ms,
                records, reads.replies);
    std::string text;
    for (const KeyRecord& record : records) {
        if (record.virtual_key == KEY_ESCAPE) {
            EXPECT_EQ(record.character, 0);
            text += 'E';
        } else {
            EXPECT_EQ(record.virtual_key, 0u);
            text += record.character;
        }
    }
    return text;
}

TEST(KeyDecoder, LoneEscapeIsSettledByTheNextFrame) {
    Reads reads;
    EXPECT_EQ(keys(reads, "\x1b"), "");
    EXPECT_EQ(keys(reads, ""), "E");
    EXPECT_EQ(keys(reads, ""), "");
    EXPECT_EQ(keys(reads, "\x1b"), "");
    EXPECT_EQ(keys(reads, "m"), "");   // in the next read: Alt+m
    EXPECT_EQ(keys(reads, "\x1b"), "");
    EXPECT_EQ(keys(reads, "m", SEQUENCE_TIMEOUT_MS + 1), "Em");
    EXPECT_EQ(keys(reads, "\x1b\x1b"), "E");
    EXPECT_EQ(keys(reads, ""), "E");
}

TEST(KeyDecoder, SequencesAreNotKeys) {
    Reads reads;
    EXPECT_EQ(keys(reads, "\x1b[A\x1b[B\x1bOP\x1b[15~"), "");             // arrows, F1, F5
    EXPECT_EQ(keys(reads, "\x1b[1;5m\x1b[<0;12;5m"), "");                 // 'm' as final byte
    EXPECT_EQ(keys(reads, "\x1b]0;my mm title\x07\x1bP+q\x1b\\"), "");    // terminal replies
    EXPECT_EQ(keys(reads, "\x1bm\x1b\x7f"), "");                           // Alt+m, Alt+Backspace
    EXPECT_EQ(keys(reads, ""), "");
}

TEST(KeyDecoder, SequenceSplitBetweenReadsGoesOnOnlyInTime) {
    Reads reads;
    EXPECT_EQ(keys(reads, "m\x1b"), "m");
    EXPECT_EQ(keys(reads, "[1;"), "");
    EXPECT_EQ(keys(reads, "2Mm"), "m");
    EXPECT_EQ(keys(reads, "\x1b[1;", 16), "");
    EXPECT_EQ(keys(reads, "5m", SEQUENCE_TIMEOUT_MS - 16), "");         // 50 ms after its ESC: in time
    EXPECT_EQ(keys(reads, "\x1b[1;"), "");
    EXPECT_EQ(keys(reads, "5m", SEQUENCE_TIMEOUT_MS + 1), "5m");        // too late: given up
    EXPECT_EQ(keys(reads, "\x1bO"), "");
    EXPECT_EQ(keys(reads, ""), "");                                    // a read without bytes settles it
    EXPECT_EQ(keys(reads, "P"), "P");
}

// Alt+Shift+P, Alt+] and Alt+_ are ESC P, ESC ] and ESC _, the starts of reply strings; they
// used to swallow every later key, Escape included.
TEST(KeyDecoder, AltKeysThatStartReplyStringsLeaveEscapeAlive) {
    Reads reads;
    for (const char* alt_key : {"\x1bP", "\x1b]", "\x1b_", "\x1b^"}) {
        EXPECT_EQ(keys(reads, alt_key), "") << alt_key + 1;
        EXPECT_EQ(keys(reads, ""), "") << alt_key + 1;  // a frame without bytes gives the string up
        EXPECT_EQ(keys(reads, "m"), "m") << alt_key + 1;
        EXPECT_EQ(keys(reads, "\x1b"), "");
        EXPECT_EQ(keys(reads, ""), "E") << alt_key + 1;
    }
    EXPECT_EQ(keys(reads, "\x1bPm\x1b"), "");  // Alt+P, m and Escape typed faster than a frame, or
    EXPECT_EQ(keys(reads, ""), "mE");           // a string whose terminator was cut: nothing came
    EXPECT_EQ(keys(reads, "\x1b]0;t\x1b[A\x07"), "0;t\x07");  // an ESC ends a string's body
    EXPECT_EQ(keys(reads, "\x1bPmq"), "");
    EXPECT_EQ(keys(reads, ""), "mq");  // typed after Alt+P within one read, given up a frame later
    EXPECT_EQ(keys(reads, "\x1b_m\x1bq"), "m");
    EXPECT_EQ(keys(reads, ""), "");  // Alt+q
    EXPECT_EQ(keys(reads, "\x1bPab"), "");
    EXPECT_EQ(keys(reads, "c", SEQUENCE_TIMEOUT_MS + 1), "abc");
    for (const TerminalReply& reply : reads.replies) EXPECT_EQ(reply.kind, ReplyKind::ControlSequence);
}

TerminalReply sequence(char marker, const char* parameters, const char* intermediates, char final_byte) {
    return {ReplyKind::ControlSequence, marker, intermediates, final_byte, parameters};
}

TerminalReply string(ReplyKind kind, const char* body) { return {kind, 0, "", 0, body}; }

}  // namespace

namespace textdemo {
void PrintTo(const TerminalReply& reply, std::ostream* out) {
    *out << "{kind " << static_cast<int>(reply.kind) << " marker '" << reply.marker << "' body \"" << reply.body
         << "\" intermediates \"" << reply.intermediates << "\" final '" << reply.final_byte << "'}";
}
}  // namespace textdemo

namespace {

// Answers as kitty, xterm and others send them: device attributes, cursor position, cell
// size, a mode report, settings and capabilities read back, the kitty graphics answer, a
// colour. Every one whole in a read, and cut in two at every byte with the second part one
// frame later: the same records, and never a key.
TEST(KeyDecoder, RepliesComeOutWholeAndNeverAsKeys) {
    const std::string answers =
        "\x1b[?62;4;22c\x1b[24;80R\x1b[6;16;8t\x1b[?2026;2$y\x1bP1$r0;38:2::1:2:3m\x1b\\"
        "\x1bP1+r524742=382F382F38\x1b\\\x1b_Gi=31;OK\x1b\\\x1b]11;rgb:0000/0000/0000\x07\x1b[>1;4000;0c";
    const std::vector<TerminalReply> expected = {
        sequence('?', "62;4;22", "", 'c'),
        sequence(0, "24;80", "", 'R'),
        sequence(0, "6;16;8", "", 't'),
        sequence('?', "2026;2", "$", 'y'),
        string(ReplyKind::DeviceControl, "1$r0;38:2::1:2:3m"),
        string(ReplyKind::DeviceControl, "1+r524742=382F382F38"),
        string(ReplyKind::ProgramCommand, "Gi=31;OK"),
        string(ReplyKind::OperatingSystem, "11;rgb:0000/0000/0000"),
        sequence('>', "1;4000;0", "", 'c'),
    };
    Reads whole;
    EXPECT_EQ(keys(whole, answers), "");
    EXPECT_EQ(keys(whole, ""), "");
    EXPECT_EQ(whole.replies, expected);
    for (std::size_t cut = 0; cut <= answers.size(); ++cut) {
        Reads reads;
        std::string typed = keys(reads, answers.substr(0, cut));
        typed += keys(reads, answers.substr(cut));
        typed += keys(reads, "");
        EXPECT_EQ(typed, "") << "cut at " << cut;
        EXPECT_EQ(reads.replies, expected) << "cut at " << cut;
    }
}

// The per-frame read stops at 4,096 bytes: an ESC that ends one read and the key that
// follows it in the next are Alt + that key, or the start of a reply, never Escape.
TEST(KeyDecoder, EscapeAtTheEndOfAFullReadWaitsForTheNextRead) {
    Reads reads;
    const std::string typed(4095, 'a');
    EXPECT_EQ(keys(reads, typed + "\x1b"), typed);
    EXPECT_EQ(keys(reads, "x"), "");
    EXPECT_EQ(keys(reads, typed + "\x1b"), typed);
    EXPECT_EQ(keys(reads, "]11;rgb:0/0/0\x07m"), "m");
    EXPECT_EQ(reads.replies, (std::vector<TerminalReply>{string(ReplyKind::OperatingSystem, "11;rgb:0/0/0")}));
    EXPECT_EQ(keys(reads, typed + "\x1b"), typed);
    EXPECT_EQ(keys(reads, ""), "E");  // nothing came: Escape
}

// Bodies past MAX_REPLY_BODY are no reply: the string was typed, every byte a key. A
// control sequence that long is dropped.
TEST(KeyDecoder, OverlongRepliesAreGivenUp) {
    Reads reads;
    const std::string body(MAX_REPLY_BODY + 10, 'a');
    EXPECT_EQ(keys(reads, "\x1bP" + body + "\x1b\\m"), body + "m");
    EXPECT_EQ(keys(reads, "\x1b[" + std::string(MAX_REPLY_BODY + 1, '1') + "R" + "m"), "Rm");
    EXPECT_EQ(keys(reads, "\x1bP" + std::string(MAX_REPLY_BODY, 'b') + "\x1b\\"), "");
    ASSERT_EQ(reads.replies.size(), 1u);
    EXPECT_EQ(reads.replies[0].body.size(), MAX_REPLY_BODY);
}

TEST(TerminalReply, NumbersOfAParameterList) {
    struct Case {
        const char* parameters;
        std::vector<int> numbers;  // empty: not a list of numbers
    };
    const Case cases[] = {
        {"62;4;22", {62, 4, 22}},
        {"", {0}},
        {";7;", {0, 7, 0}},
        {"99999999999999;1000000;999999", {999999, 999999, 999999}},
        {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17", {}},
        {"38:2::1:2:3", {}},
        {"-1", {}},
    };
    for (const Case& c : cases) {
        int values[MAX_REPLY_NUMBERS];
        const int count = reply_numbers(c.parameters, values);
        EXPECT_EQ(count == -1 ? std::vector<int>{} : std::vector<int>(values, values + count), c.numbers)
            << c.parameters;
    }
}

TEST(KeyDecoder, EveryCharacterIsOneRecordInOrder) {
    Reads reads;
    EXPECT_EQ(keys(reads, "mMm q"), "mMm q");
    EXPECT_EQ(keys(reads, "x\x1b[Cm\x1b"), "xm");
    EXPECT_EQ(keys(reads, "\x1b"), "E");  // the pending ESC was alone; this one waits
    EXPECT_EQ(keys(reads, ""), "E");
}

// Terminal bytes through the shared frame loop, as the console program reads them: the
// mute key waits out its cooldown, "M" and sequences ending in "m" never mute, a lone ESC
// quits one frame later.
TEST(ConsoleKeysInTheFrameLoop, MuteCooldownAndEscape) {
    test::use_empty_archive();
    test::put_pattern_dump({0}, {});
    stop_requested = 0;

    struct Run {
        std::uint32_t now = 1000;
        std::vector<bool> mutes;
        KeyDecoder decoder;
        int frame = 0;
    } run;
    const FrameClock clock{[](void* c) { return static_cast<Run*>(c)->now; },
                           [](void* c, std::uint32_t ms) { static_cast<Run*>(c)->now += ms; }, &run};
    const PositionSource music{[](void*, std::uint32_t* position) {
                                   *position = 500;
                                   return std::int32_t{0};
                               },
                               [](void*) { return false; },
                               [](void* c, bool muted) { static_cast<Run*>(c)->mutes.push_back(muted); }, &run};
    FrameBackend backend{};
    backend.frame_clock_fallback = true;
    backend.present = [](void*) { return FrameOutcome::Continue; };
    backend.read_keys = [](void* c, std::vector<KeyRecord>& records) {
        auto& r = *static_cast<Run*>(c);
        std::string bytes;
        switch (r.frame++) {
            case 5: bytes = "m"; break;              // cooldown 14: ignored
            case 19: bytes = "\x1b[1;5m"; break;     // a sequence, not the key
            case 20: bytes = "m"; break;             // cooldown 0: mutes, cooldown 20 again
            case 21: bytes = "M"; break;             // never
            case 30: bytes = "m"; break;             // cooldown 10: ignored
            case 40: bytes = "mm"; break;            // cooldown 0: unmutes once
            case 44: bytes = "\x1b[A\x1bOP"; break;  // arrow and F1 do not quit
            case 45: bytes = "\x1b"; break;          // Escape, settled by the next frame
            default: break;
        }
        std::vector<TerminalReply> replies;
        decode_keys(r.decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), r.now, records,
                    replies);
    };
    backend.context = &run;

    FrameLoopState state = start_frame_loop(clock);
    EXPECT_EQ(run_frame_loop(clock, music, backend, state), LoopEnd::Teardown);
    EXPECT_EQ(run.mutes, (std::vector<bool>{true, false}));
    EXPECT_EQ(state.frame_count, 47u);
    destroy_timeline();
    test::restore_archive_path();
}

}  // namespace
