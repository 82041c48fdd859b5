// Keys out of terminal bytes: a lone ESC is Escape, escape sequences and Alt + key are
// nothing, and a sequence left open is given up after a short time.
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
};

// One read's bytes, `after_ms` after the last; returns the keys as text: 'E' for Escape,
// the character otherwise.
std::string keys(Reads& reads, const std::string& bytes, std::uint32_t after_ms = 16) {
    reads.now_ms += after_ms;
    std::vector<KeyRecord> records;
    decode_keys(reads.decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), reads.now_ms,
                records);
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
    EXPECT_EQ(keys(reads, "m"), "Em");
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
        EXPECT_EQ(keys(reads, "m"), "m") << alt_key + 1;
        EXPECT_EQ(keys(reads, "\x1b"), "");
        EXPECT_EQ(keys(reads, ""), "E") << alt_key + 1;
    }
    EXPECT_EQ(keys(reads, "\x1bPm\x1b"), "m");  // Alt+P, m and Escape typed faster than a frame
    EXPECT_EQ(keys(reads, ""), "E");
    EXPECT_EQ(keys(reads, "\x1b]0;t\x1b[A\x07"), "0;t\x07");  // an ESC ends a string's body
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
        decode_keys(r.decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), r.now, records);
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
