// The song as the build wrote it: patterndata.bin and ruk.mp3 from the content target's
// output folder. The dump is read byte by byte as the show reads it; the MP3 is decoded
// with libmpg123 (gapless) and its kicks are located in the low band of the audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/test_mp3.hpp"

namespace {

constexpr std::size_t DUMP_SIZE = 525672, RECORD = 13828, ORDERS_AT = 525488;
constexpr int RATE = 44100;

std::vector<std::uint8_t> read_generated(const char* name) {
    std::ifstream in(std::string(TEXTDEMO_CONTENT_FILES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct Dump {
    std::vector<std::uint8_t> bytes = read_generated("patterndata.bin");
    int order(int i) const { return le32(bytes, ORDERS_AT + 4 * i); }
    int rows(int pattern) const { return le32(bytes, 24 + RECORD * pattern + 13824); }
    std::uint8_t at(int pattern, int plane, int row) const { return bytes[24 + RECORD * pattern + 512 * plane + row]; }
    bool kick_row(int pattern, int row) const {
        for (int k = 0; k < 27; ++k)
            if (at(pattern, k, row) == 1) return true;
        return false;
    }
    int rows_through(int k) const {
        int sum = 0;
        for (int i = 0; i <= k; ++i) sum += rows(order(i));
        return sum;
    }
    // Song rows (counted from the start) whose row holds the byte 1 somewhere.
    std::vector<int> kick_song_rows() const {
        std::vector<int> found;
        int base = 0;
        for (int i = 0; i < 46; ++i) {
            for (int r = 0; r < rows(order(i)); ++r)
                if (kick_row(order(i), r)) found.push_back(base + r);
            base += rows(order(i));
        }
        return found;
    }
};

TEST(GeneratedPatternDump, SizeRowCountsAndOrderList) {
    const Dump dump;
    ASSERT_EQ(dump.bytes.size(), DUMP_SIZE);
    std::vector<bool> used(38, false);
    for (int i = 0; i < 46; ++i) {
        ASSERT_GE(dump.order(i), 0);
        ASSERT_LT(dump.order(i), 38);
        used[dump.order(i)] = true;
    }
    for (int p = 0; p < 38; ++p) {
        EXPECT_TRUE(used[p]) << "pattern " << p << " never plays";
        EXPECT_GE(dump.rows(p), 1);
        EXPECT_LE(dump.rows(p), 512);
        // Rows past the row count stay empty.
        for (int k = 0; k < 27; ++k)
            for (int r = dump.rows(p); r < 512; ++r) ASSERT_EQ(dump.at(p, k, r), 0) << p << " " << k << " " << r;
    }
}

TEST(GeneratedPatternDump, SectionLengthsTheShowIsCutTo) {
    const Dump dump;
    EXPECT_EQ(dump.rows_through(37), 8704);
    // 8704 rows x 1875/86 ms = 189767.44 ms: the closing scene starts at 189767 ms.
    EXPECT_EQ(static_cast<long>(dump.rows_through(37) * 21.802325581395348), 189767);
    EXPECT_GE(dump.rows(dump.order(23)), 256);
    EXPECT_GE(dump.rows(dump.order(25)), 256);
    EXPECT_GE(dump.rows(dump.order(27)), 256);
    EXPECT_EQ(dump.rows(dump.order(29)), 512);
    const double end_ms = dump.rows_through(45) * 1875.0 / 86.0;
    EXPECT_GT(end_ms, 212000.0);
    EXPECT_LT(end_ms, 225000.0);
}

TEST(GeneratedPatternDump, ByteOneMarksOnlyTheKickInstrument) {
    const Dump dump;
    // The kick is instrument value 0 on the drum channel's instrument plane (plane 1); nowhere
    // else may a 1 appear, and every kick row also carries a note.
    for (int p = 0; p < 38; ++p)
        for (int k = 0; k < 27; ++k)
            for (int r = 0; r < 512; ++r)
                if (dump.at(p, k, r) == 1) {
                    ASSERT_EQ(k % 3, 1) << "pattern " << p << " plane " << k << " row " << r;
                    ASSERT_GT(dump.at(p, k - 1, r), 1) << "kick without a note, pattern " << p << " row " << r;
                }
}

TEST(GeneratedPatternDump, MusicalCuesHaveKicksWhereTheShowBouncesOnThem) {
    const Dump dump;
    // Order 4 opens with a kick (the makers' logo drops on it) ...
    EXPECT_TRUE(dump.kick_row(dump.order(4), 0));
    // ... and orders 0 to 3 are the quiet opening before it.
    for (int i = 0; i < 4; ++i)
        for (int r = 0; r < dump.rows(dump.order(i)); ++r) ASSERT_FALSE(dump.kick_row(dump.order(i), r));
    // The closing orders carry a steady kick: one on every beat (16 rows) of orders 38..44.
    for (int i = 38; i < 45; ++i)
        for (int r = 0; r < dump.rows(dump.order(i)); ++r)
            EXPECT_EQ(dump.kick_row(dump.order(i), r), r % 16 == 0) << "order " << i << " row " << r;
}

// The music as libmpg123 decodes it, mixed to mono, and its loudest sample.
struct Decoded {
    std::vector<float> mono;
    long rate = 0;
    int channels = 0;
    bool ok = false;
    float peak = 0;
};

Decoded decode_to_mono(const std::vector<std::uint8_t>& mp3) {
    const textdemo::test::DecodedMp3 decoded = textdemo::test::decode_mp3(mp3);
    Decoded out{{}, decoded.rate, decoded.channels, decoded.ok && decoded.channels == 2, 0};
    for (std::size_t i = 0; out.ok && i + 1 < decoded.samples.size(); i += 2) {
        const float left = decoded.samples[i], right = decoded.samples[i + 1];
        out.peak = std::max({out.peak, std::fabs(left), std::fabs(right)});
        out.mono.push_back((left + right) / 2);
    }
    return out;
}

class GeneratedMusic : public testing::Test {
protected:
    static void SetUpTestSuite() {
        mp3_ = new std::vector<std::uint8_t>(read_generated("ruk.mp3"));
        decoded_ = new Decoded(decode_to_mono(*mp3_));
    }
    static void TearDownTestSuite() {
        delete mp3_;
        delete decoded_;
    }
    static std::vector<std::uint8_t>* mp3_;
    static Decoded* decoded_;
};
std::vector<std::uint8_t>* GeneratedMusic::mp3_ = nullptr;
Decoded* GeneratedMusic::decoded_ = nullptr;

// First sample of song row r: r x 1875/86 ms at 44.1 samples per ms.
double row_sample(int r) { return r * (1875.0 / 86.0) * 44.1; }

TEST_F(GeneratedMusic, DecodesGaplessToTheSongsExactLengthBelowMinusOneDbfs) {
    ASSERT_TRUE(decoded_->ok);
    EXPECT_EQ(decoded_->rate, RATE);
    EXPECT_EQ(decoded_->channels, 2);
    // The first frame carries the LAME tag that makes the decoder drop the coder's padding.
    const std::string head(mp3_->begin(), mp3_->begin() + std::min<std::size_t>(mp3_->size(), 400));
    EXPECT_NE(head.find("Info"), std::string::npos);
    EXPECT_NE(head.find("LAME"), std::string::npos);
    // Every row of the 46 orders, then a 1.5 s ring-out.
    const Dump dump;
    const long expected = static_cast<long>(std::floor(row_sample(dump.rows_through(45)))) + RATE * 3 / 2;
    EXPECT_EQ(static_cast<long>(decoded_->mono.size()), expected);
    const double seconds = static_cast<double>(decoded_->mono.size()) / RATE;
    EXPECT_GT(seconds, 212.0);
    EXPECT_LT(seconds, 225.0);
    EXPECT_GT(decoded_->peak, 0.5f);                      // not silent
    EXPECT_LT(decoded_->peak, std::pow(10.0f, -1.0f / 20));  // below -1 dBFS
}

TEST_F(GeneratedMusic, EveryKickRowSoundsAKickWithinFiveMilliseconds) {
    ASSERT_TRUE(decoded_->ok);
    const auto& x = decoded_->mono;
    // The kick's band: two one-pole low-passes at 400 Hz (its body and attack, not hats or
    // snare rattle).
    std::vector<float> low(x.size());
    const float a = 1.0f - std::exp(-2.0f * 3.14159265f * 400.0f / RATE);
    float s1 = 0, s2 = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        s1 += a * (x[n] - s1);
        s2 += a * (s1 - s2);
        low[n] = s2;
    }
    const long ms = RATE / 1000, size = static_cast<long>(low.size());
    auto sample = [&](long n) { return n >= 0 && n < size ? low[n] : 0.0f; };
    const auto kicks = Dump().kick_song_rows();
    ASSERT_GT(kicks.size(), 300u);

    // The kick's shape: the band averaged over all kick rows, from 10 ms before to 30 ms after
    // the row (whatever else plays there averages away). It has to start on the row itself ...
    const long from = -10 * ms, to = 30 * ms;
    std::vector<float> shape(to - from, 0.0f);
    for (int row : kicks) {
        const long at = static_cast<long>(row_sample(row));
        for (long k = from; k < to; ++k) shape[k - from] += sample(at + k) / static_cast<float>(kicks.size());
    }
    float strongest = 0;
    for (float v : shape) strongest = std::max(strongest, std::fabs(v));
    long start = from;
    while (std::fabs(shape[start - from]) < 0.3f * strongest) ++start;
    EXPECT_LE(std::labs(start), 5 * ms) << "the average kick starts " << start << " samples from its rows";

    // ... and every single kick matches that shape at nearly the same place: the lag of best
    // (normalised) correlation over the shape's first 15 ms puts each onset within 5 ms of its row.
    const long first = std::max(from, start - ms), last = std::min(to, start + 15 * ms);
    int misses = 0;
    for (int row : kicks) {
        const long at = static_cast<long>(row_sample(row));
        double best = -2;
        long best_lag = 0;
        for (long lag = -15 * ms; lag <= 15 * ms; ++lag) {
            double dot = 0, energy = 0, shape_energy = 0;
            for (long k = first; k < last; ++k) {
                const double v = sample(at + lag + k), t = shape[k - from];
                dot += v * t;
                energy += v * v;
                shape_energy += t * t;
            }
            const double r = dot / std::sqrt(energy * shape_energy + 1e-30);
            if (r > best) best = r, best_lag = lag;
        }
        const double onset_ms = static_cast<double>(start + best_lag) / ms;
        if (std::fabs(onset_ms) > 5.0 || best < 0.6) {
            ADD_FAILURE() << "song row " << row << ": kick found " << onset_ms << " ms from the row (match " << best << ")";
            if (++misses > 5) break;
        }
    }
}

}  // namespace
