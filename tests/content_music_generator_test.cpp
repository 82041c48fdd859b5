// The music generator's parts: the song text reader, the pattern dump writer, note timing,
// the peak limiter and the MP3 coder's gapless round trip through libmpg123.
#include <gtest/gtest.h>

#include <mpg123.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/content/music_dump.hpp"
#include "tools/content/music_effects.hpp"
#include "tools/content/music_mp3.hpp"
#include "tools/content/music_render.hpp"
#include "tools/content/music_song.hpp"
#include "tools/content/music_voice.hpp"

using namespace textdemo::content;

namespace {

const char* const INSTRUMENTS =
    "instrument 0 kick kind=kick decay=0.1\n"
    "instrument 1 bass kind=synth cutoff=800 release=0.02\n"
    "instrument 2 hat kind=hat decay=0.02\n";

bool parse(const std::string& text, Song& song, std::string& error) {
    return parse_song({{"a.txt", INSTRUMENTS}, {"b.txt", text}}, song, error);
}

std::string parse_error(const std::string& text) {
    Song song;
    std::string error;
    EXPECT_FALSE(parse(text, song, error));
    return error;
}

TEST(SongText, TracksLandOnTheirRowsTransposedRepeatedAndReplayed) {
    Song song;
    std::string error;
    ASSERT_TRUE(parse("pattern 0 rows 64\n"
                      "kick k*2 _8 k   # comment\n"
                      "bass riff+2 _4 riff@2\n"
                      "track k step 16 ins 0\n"
                      "C-4\n"
                      "track riff step 4 ins 1\n"
                      "F#4/40 . == C-1@2\n"
                      "orders 0 0\n",
                      song, error))
        << error;
    const SongPattern& p = song.patterns[0];
    EXPECT_EQ(p.rows, 64);
    EXPECT_EQ(song.orders, (std::vector<int>{0, 0}));
    // Kicks: rows 0 and 16 (two copies of a 16-row track), then 8 rows skipped: row 40.
    for (int r = 0; r < 64; ++r) EXPECT_EQ(p.cells[r][0].instrument == 0, r == 0 || r == 16 || r == 40) << r;
    EXPECT_EQ(p.cells[0][0].note, 60);
    // The riff, two up: F#4 (66) + 2 at row 0 with volume 40, note off at row 8, C-1 (24) + 2
    // played by instrument 2 at row 12; then 4 rows skipped, so the second copy starts at 20,
    // every note played by instrument 2.
    EXPECT_EQ(p.cells[0][3].note, 68);
    EXPECT_EQ(p.cells[0][3].instrument, 1);
    EXPECT_EQ(p.cells[0][3].volume, 40);
    EXPECT_EQ(p.cells[4][3].note, 0);
    EXPECT_EQ(p.cells[8][3].note, NOTE_OFF);
    EXPECT_EQ(p.cells[8][3].instrument, -1);
    EXPECT_EQ(p.cells[12][3].note, 26);
    EXPECT_EQ(p.cells[12][3].instrument, 2);
    EXPECT_EQ(p.cells[20][3].note, 66);
    EXPECT_EQ(p.cells[20][3].instrument, 2);
    EXPECT_EQ(p.cells[28][3].note, NOTE_OFF);
    EXPECT_EQ(p.cells[32][3].note, 24);
    EXPECT_EQ(p.cells[36][3].note, 0);
}

TEST(SongText, ProblemsAreNamedWithTheirLine) {
    EXPECT_EQ(parse_error("pattern 0 rows 16\nkick nothing\norders 0\n"), "b.txt:2: unknown track 'nothing'");
    EXPECT_EQ(parse_error("track t step 8 ins 1\nC-4 C-4 C-4\npattern 0 rows 16\nbass t\norders 0\n"),
              "b.txt:4: bass runs to row 24, past the pattern's 16 rows");
    EXPECT_EQ(parse_error("track t step 4 ins 1\nH-4\n"), "b.txt:2: bad note 'H-4'");
    EXPECT_EQ(parse_error("track t step 4 ins 1\nC-4/65\n"), "b.txt:2: 65 is outside 1..64");
    EXPECT_EQ(parse_error("pattern 0 rows 513\n"), "b.txt:1: 513 is outside 1..512");
    EXPECT_EQ(parse_error("pattern 0 rows 16\ncowbell t\n"), "b.txt:2: unknown channel 'cowbell'");
    EXPECT_EQ(parse_error("instrument 3 boom kind=kick\n"),
              "b.txt:1: instrument 0 is the kick, and no other instrument may be one");
    EXPECT_EQ(parse_error("instrument 3 pad kind=synth res=1.2\n"), "b.txt:1: res must lie in 0..0.95");
    EXPECT_EQ(parse_error("instrument 3 pad kind=synth wobble=3\n"), "b.txt:1: unknown instrument setting 'wobble'");
    // A note transposed out of the playable range, and a pattern the orders name but nobody wrote.
    EXPECT_EQ(parse_error("track t step 4 ins 1\nB-8\npattern 0 rows 16\nbass t+1\norders 0\n"),
              "b.txt:4: transposed note out of range in 't+1'");
    EXPECT_EQ(parse_error("pattern 1 rows 16\norders 1\n"), "song:0: pattern 0 is missing");
    EXPECT_EQ(parse_error("track t step 4 ins 1\nC-4@5\npattern 0 rows 16\nbass t\norders 0\n"),
              "b.txt:1: unknown instrument 5");
}

TEST(SongText, SharpsAreNotComments) {
    Song song;
    std::string error;
    ASSERT_TRUE(parse("track t step 4 ins 1 # a comment\nA#3 # C-4 would be ignored\n"
                      "pattern 0 rows 8\nbass t t\norders 0\n",
                      song, error))
        << error;
    EXPECT_EQ(song.patterns[0].cells[0][3].note, 58);
    EXPECT_EQ(song.patterns[0].cells[4][3].note, 58);
}

// A song of the dump's shape: 38 patterns of 16 rows, 46 orders.
Song dump_shaped_song() {
    Song song;
    std::string error;
    std::string text = "track k step 16 ins 0\nC-4\ntrack b step 1 ins 1\nA-2/33 == \n";
    for (int p = 0; p < 38; ++p) text += "pattern " + std::to_string(p) + " rows " + std::to_string(16 + p) + "\n";
    text += "kick _3 k\narp b\n";  // pattern 37 only
    text += "orders";
    for (int i = 0; i < 46; ++i) text += " " + std::to_string(i % 38);
    text += "\n";
    EXPECT_TRUE(parse(text, song, error)) << error;
    return song;
}

TEST(PatternDump, BytesSitWhereTheShowReadsThem) {
    const Song song = dump_shaped_song();
    std::string error;
    ASSERT_TRUE(check_song_fits_dump(song, error)) << error;
    const auto dump = make_pattern_dump_bytes(song);
    ASSERT_EQ(dump.size(), 525672u);
    const std::size_t p37 = 24 + 13828 * 37;
    // Kick channel (planes 0..2) at row 3: note C-4 = 60 -> 61, instrument 0 -> 1, no volume.
    EXPECT_EQ(dump[p37 + 3], 61);
    EXPECT_EQ(dump[p37 + 512 + 3], 1);
    EXPECT_EQ(dump[p37 + 1024 + 3], 0);
    // Arp channel (8: planes 24..26) at row 0: A-2 = 45 -> 46, instrument 1 -> 2, volume 33 -> 34;
    // row 1: note off (value 1 -> byte 2) with no instrument.
    EXPECT_EQ(dump[p37 + 512 * 24], 46);
    EXPECT_EQ(dump[p37 + 512 * 25], 2);
    EXPECT_EQ(dump[p37 + 512 * 26], 34);
    EXPECT_EQ(dump[p37 + 512 * 24 + 1], 2);
    EXPECT_EQ(dump[p37 + 512 * 25 + 1], 0);
    // Row counts (16 + p) and the order list (i mod 38).
    for (int p = 0; p < 38; ++p) {
        const std::size_t at = 13848 + 13828 * p;
        EXPECT_EQ(dump[at] | dump[at + 1] << 8 | dump[at + 2] << 16 | dump[at + 3] << 24, 16 + p);
    }
    EXPECT_EQ(dump[525488 + 4 * 40], 2);
    EXPECT_EQ(dump[525488 + 4 * 45], 7);
    // Nothing else: count the non-zero bytes outside the header.
    int set = 0;
    for (std::size_t i = 24; i < 525488; ++i) set += dump[i] != 0;
    EXPECT_EQ(set, 6 + 38);  // six cell bytes, one low byte per row count
}

TEST(PatternDump, RejectsSongsOfTheWrongShape) {
    Song song = dump_shaped_song();
    song.orders.pop_back();
    std::string error;
    EXPECT_FALSE(check_song_fits_dump(song, error));
    EXPECT_EQ(error, "the song has 38 patterns and 45 orders; the pattern dump holds 38 and 46");
}

TEST(SongTiming, RowsStartOnWholeSamplesOf1875Over86Milliseconds) {
    EXPECT_EQ(row_start_sample(0), 0);
    EXPECT_EQ(row_start_sample(1), 961);        // 961.48
    EXPECT_EQ(row_start_sample(86), 82687);     // exactly 1875 ms = 82687.5 samples
    EXPECT_EQ(row_start_sample(8704), 8368744); // 189767.44 ms
    EXPECT_EQ(row_start_sample(9856), 9476372);
}

TEST(SongTiming, NotesEndAtTheNextNoteOrNoteOffAcrossPatterns) {
    const Song song = dump_shaped_song();
    const auto events = song_note_events(song);
    // Order 37 (pattern 37) starts after the rows of patterns 0..36: sum of 16 + p.
    std::int64_t start = 0;
    for (int p = 0; p < 37; ++p) start += 16 + p;
    ASSERT_EQ(events.size(), 2u);  // pattern 37 plays once in the order list
    EXPECT_EQ(events[0].channel, 8);
    EXPECT_EQ(events[0].row, start);
    EXPECT_EQ(events[0].end_row, start + 1);
    EXPECT_EQ(events[0].volume, 33);
    EXPECT_EQ(events[1].channel, 0);
    EXPECT_EQ(events[1].row, start + 3);
    EXPECT_EQ(events[1].end_row, -1);
    EXPECT_EQ(events[1].volume, MAX_VOLUME);
    EXPECT_EQ(song_frames(song), row_start_sample(song_rows(song)) + 66150);
}

TEST(PeakLimiter, HoldsTheCeilingAndLeavesQuietPassagesAlone) {
    std::vector<float> left(44100, 0.0f), right(44100, 0.0f);
    for (int n = 0; n < 44100; ++n) left[n] = right[n] = 0.3f * std::sin(n * 0.05f);
    left[22050] = 2.0f;  // one spike far above the ceiling
    right[30000] = -1.5f;
    limit_peaks(left, right, 0.5f);
    float peak = 0;
    for (int n = 0; n < 44100; ++n) peak = std::max({peak, std::fabs(left[n]), std::fabs(right[n])});
    EXPECT_LE(peak, 0.5f);
    EXPECT_FLOAT_EQ(left[22050], 0.5f);
    EXPECT_FLOAT_EQ(right[30000], -0.5f);
    // Far from the spikes the signal passes unchanged (the gain is back to 1 within 150 ms).
    EXPECT_EQ(left[100], 0.3f * std::sin(100 * 0.05f));
    EXPECT_EQ(left[43000], 0.3f * std::sin(43000 * 0.05f));
    // Just before a spike the gain is already down (it falls over 3 ms ahead of it).
    EXPECT_LT(std::fabs(left[22049]), std::fabs(0.3f * std::sin(22049 * 0.05f)) + 1e-6f);
}

TEST(Mp3, GaplessRoundTripKeepsLengthAndPlace) {
    // 1.3 s of silence with one loud click at sample 30000.
    StereoPcm pcm{std::vector<float>(57330, 0.0f), std::vector<float>(57330, 0.0f)};
    for (int n = 0; n < 200; ++n) pcm.left[30000 + n] = pcm.right[30000 + n] = 0.8f * std::sin(n * 0.3f) * (1 - n / 200.0f);
    std::vector<std::uint8_t> mp3, again;
    std::string error;
    ASSERT_TRUE(encode_mp3(pcm, mp3, error)) << error;
    ASSERT_TRUE(encode_mp3(pcm, again, error)) << error;
    EXPECT_EQ(mp3, again);  // the same samples give the same bytes

    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    ASSERT_NE(mh, nullptr);
    mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    ASSERT_EQ(mpg123_open_feed(mh), MPG123_OK);
    ASSERT_EQ(mpg123_feed(mh, mp3.data(), mp3.size()), MPG123_OK);
    std::vector<std::int16_t> decoded, buffer(8192);
    for (;;) {
        std::size_t done = 0;
        const int result = mpg123_read(mh, buffer.data(), buffer.size() * 2, &done);
        decoded.insert(decoded.end(), buffer.begin(), buffer.begin() + done / 2);
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
    mpg123_delete(mh);
    ASSERT_EQ(decoded.size(), 2u * 57330);
    std::size_t loudest = 0;
    for (std::size_t i = 0; i < decoded.size(); i += 2)
        if (std::abs(decoded[i]) > std::abs(decoded[loudest])) loudest = i;
    const long at = static_cast<long>(loudest / 2);
    EXPECT_NEAR(at, 30000 + 5, 44);  // the click's crest (n = 5) within 1 ms of where it was
}

TEST(Render, TheSameSongRendersTheSameSamplesWithPeaksAtTheTarget) {
    Song song;
    std::string error;
    ASSERT_TRUE(parse("track k step 16 ins 0\nC-4 C-4\ntrack b step 8 ins 1\nD-2 D-3 == A-2\n"
                      "track h step 4 ins 2\nC-4 C-4 C-4\npattern 0 rows 32\nkick k\nbass b\nhats h\norders 0\n",
                      song, error))
        << error;
    const StereoPcm a = render_song(song), b = render_song(song);
    ASSERT_EQ(a.left.size(), static_cast<std::size_t>(row_start_sample(32) + 66150));
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    float peak = 0;
    for (std::size_t n = 0; n < a.left.size(); ++n) peak = std::max({peak, std::fabs(a.left[n]), std::fabs(a.right[n])});
    EXPECT_LE(peak, PEAK_TARGET);
    EXPECT_GT(peak, PEAK_TARGET * 0.95f);
    // The second kick (row 16) sounds on its row.
    float around_second = 0;
    for (std::int64_t n = row_start_sample(16); n < row_start_sample(16) + 441; ++n)
        around_second = std::max(around_second, std::fabs(a.left[n]));
    EXPECT_GT(around_second, 0.2f);
}

}  // namespace
