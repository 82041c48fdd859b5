// The MP3 length scanner against libmpg123's gapless scan, on streams LAME encodes here and
// on the show's music, and on damaged and foreign bytes.
#include <gtest/gtest.h>

#include <mpg123.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "song/mp3_length.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo {
namespace {

// What libmpg123 counts after a full scan with gapless decoding, as the native sound layer
// sets it up; -1 when it cannot read the stream.
long long mpg123_sample_frames(const std::vector<std::uint8_t>& mp3) {
    char path[] = "/tmp/textdemo-mp3-length-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return -1;
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(mp3.data()),
                                                    static_cast<std::streamsize>(mp3.size()));
    }
    close(fd);
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    long long frames = -1;
    if (mpg123_open(decoder, path) == MPG123_OK && mpg123_scan(decoder) == MPG123_OK) frames = mpg123_length(decoder);
    mpg123_delete(decoder);
    unlink(path);
    return frames;
}

TEST(Mp3Length, EqualsTheGaplessDecodersCountForEveryRateAndChannelCount) {
    struct Case {
        int frames, rate, channels;
    };
    for (const Case c : {Case{13353, 44100, 2}, Case{1, 44100, 2}, Case{1152, 48000, 1}, Case{44100, 32000, 2},
                         Case{7000, 22050, 1}, Case{9999, 24000, 2}, Case{5000, 16000, 1}, Case{3000, 11025, 2},
                         Case{4321, 8000, 1}}) {
        SCOPED_TRACE(std::to_string(c.frames) + " frames at " + std::to_string(c.rate) + " Hz, " +
                     std::to_string(c.channels) + " channels");
        const std::vector<std::uint8_t> mp3 = test::encode_test_mp3(c.frames, c.rate, c.channels);
        const Mp3Length length = scan_mp3_length(mp3);
        ASSERT_EQ(length.problem, "");
        EXPECT_EQ(length.rate, static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(length.channels, c.channels);
        EXPECT_EQ(static_cast<long long>(length.sample_frames), mpg123_sample_frames(mp3));
        EXPECT_EQ(length.sample_frames, static_cast<std::uint64_t>(c.frames));
    }
}

TEST(Mp3Length, EqualsTheGaplessDecodersCountForTheShowsMusic) {
    std::ifstream in(std::string(TEXTDEMO_CONTENT_FILES) + "/ruk.mp3", std::ios::binary);
    const std::vector<std::uint8_t> mp3{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(mp3.empty());
    const Mp3Length length = scan_mp3_length(mp3);
    ASSERT_EQ(length.problem, "");
    EXPECT_EQ(length.rate, 44100u);
    EXPECT_EQ(static_cast<long long>(length.sample_frames), mpg123_sample_frames(mp3));
}

TEST(Mp3Length, SkipsAnId3TagAndStopsAtTrailingBytes) {
    const std::vector<std::uint8_t> plain = test::encode_test_mp3(5000, 44100, 2);
    std::vector<std::uint8_t> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 2};  // 130 bytes of tag body
    tagged.resize(10 + 130, 0);
    tagged.insert(tagged.end(), plain.begin(), plain.end());
    const std::vector<std::uint8_t> trailer(128, 'T');
    tagged.insert(tagged.end(), trailer.begin(), trailer.end());
    EXPECT_EQ(scan_mp3_length(tagged).sample_frames, 5000u);
    EXPECT_EQ(static_cast<long long>(scan_mp3_length(tagged).sample_frames), mpg123_sample_frames(tagged));
}

TEST(Mp3Length, RefusesWhatIsNoLayerThreeSoundWithAReason) {
    const std::vector<std::uint8_t> mp3 = test::encode_test_mp3(5000, 44100, 2);
    const std::vector<std::vector<std::uint8_t>> bad = {
        {},
        {0xFF},
        {0xFF, 0xFB, 0x90},                                   // a header cut short
        {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F},    // a tag larger than the file
        {0xFF, 0xFD, 0x90, 0x64, 0, 0, 0, 0},                 // layer II
        {0xFF, 0xFB, 0x00, 0x64, 0, 0, 0, 0},                 // free format
        {0xFF, 0xFB, 0xF0, 0x64, 0, 0, 0, 0},                 // bad bitrate
        {0xFF, 0xFB, 0x9C, 0x64, 0, 0, 0, 0},                 // bad sample rate
        std::vector<std::uint8_t>(mp3.begin(), mp3.begin() + 200),  // only the info frame, cut
        std::vector<std::uint8_t>(4000, 0x55),
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        const Mp3Length length = scan_mp3_length(bad[i]);
        EXPECT_NE(length.problem, "");
        EXPECT_EQ(length.sample_frames, 0u);
    }
}

}  // namespace
}  // namespace textdemo
