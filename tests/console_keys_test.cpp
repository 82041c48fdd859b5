// Keys out of terminal bytes: a lone ESC is Escape, escape sequences are nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/console/key_decoder.hpp"

using namespace textdemo;

namespace {

// One frame's bytes; returns the keys as text: 'E' for Escape, the character otherwise.
std::string keys(KeyDecoder& decoder, const std::string& bytes) {
    std::vector<KeyRecord> records;
    decode_keys(decoder, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), records);
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
    KeyDecoder decoder;
    EXPECT_EQ(keys(decoder, "\x1b"), "");
    EXPECT_EQ(keys(decoder, ""), "E");
    EXPECT_EQ(keys(decoder, ""), "");
    EXPECT_EQ(keys(decoder, "\x1b"), "");
    EXPECT_EQ(keys(decoder, "m"), "Em");
    EXPECT_EQ(keys(decoder, "\x1b\x1b"), "E");
    EXPECT_EQ(keys(decoder, ""), "E");
}

TEST(KeyDecoder, SequencesAreNotKeys) {
    KeyDecoder decoder;
    EXPECT_EQ(keys(decoder, "\x1b[A\x1b[B\x1bOP\x1b[15~"), "");             // arrows, F1, F5
    EXPECT_EQ(keys(decoder, "\x1b[1;5m\x1b[<0;12;5m"), "");                 // 'm' as final byte
    EXPECT_EQ(keys(decoder, "\x1b]0;my mm title\x07\x1bP+q\x1b\\"), "");    // terminal replies
    EXPECT_EQ(keys(decoder, "\x1bm"), "");                                   // Alt+m
    EXPECT_EQ(keys(decoder, ""), "");
}

TEST(KeyDecoder, SequenceSplitBetweenFrames) {
    KeyDecoder decoder;
    EXPECT_EQ(keys(decoder, "m\x1b"), "m");
    EXPECT_EQ(keys(decoder, "[1;"), "");
    EXPECT_EQ(keys(decoder, "2Mm"), "m");
    EXPECT_EQ(keys(decoder, "\x1b]2;mm"), "");
    EXPECT_EQ(keys(decoder, "mm\x1b"), "");
    EXPECT_EQ(keys(decoder, "\\Mm"), "Mm");
}

TEST(KeyDecoder, EveryCharacterIsOneRecordInOrder) {
    KeyDecoder decoder;
    EXPECT_EQ(keys(decoder, "mMm q"), "mMm q");
    EXPECT_EQ(keys(decoder, "x\x1b[Cm\x1b"), "xm");
    EXPECT_EQ(keys(decoder, "\x1b"), "E");  // the pending ESC was alone; this one waits
    EXPECT_EQ(keys(decoder, ""), "E");
}

}  // namespace
