// textdemo-capture on a synthetic archive: its command line, the dark-red frames outside
// the show, and the agreement of words, window cells, console cells and pictures.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "frame/convert.hpp"
#include "tests/support/archive_bytes.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RawEntry;

constexpr int CELLS = 4000;

// The font image: glyph g's texel (x, y) holds red v / 2, green v / 3, blue v with
// v = ((x + y + g) % 3) x 127, so the red/blue swap and the alpha are both visible.
std::uint32_t font_word(int x, int y) {
    const std::uint32_t v = static_cast<std::uint32_t>((x % 8 + y + x / 8) % 3) * 127;
    return (v / 2) << 16 | (v / 3) << 8 | v;
}

// Pseudo-random picture words for every other image the effects read.
std::vector<std::uint32_t> noise_words(int count, std::uint32_t seed) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(count));
    for (auto& w : words) {
        seed = seed * 1664525u + 1013904223u;
        w = seed >> 8;
    }
    return words;
}

// Music of exactly 1000 ms; the order list plays pattern 0 of one row everywhere, so the
// nine slots all lie within the first 828 ms (T(38 rows)) and slot 9 ends at 1000 ms.
Bytes show_archive() {
    std::vector<RawEntry> entries;
    entries.push_back(RawEntry::stored_as_is("ruk.mp3", test::encode_test_mp3(44100, 44100, 2)));
    entries.push_back(RawEntry::stored_as_is("patterndata.bin", test::make_pattern_dump({0}, {1}, {{0, 3, 0, 5}})));
    std::vector<std::uint32_t> font(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) font[static_cast<std::size_t>(y) * 256 + x] = font_word(x, y);
    entries.push_back(RawEntry::lzma("textmodechars.png", test::encode_png(256, 256, font)));
    const char* textures[] = {"tunnel.png", "table.png", "twist.png", "twistalpha.png", "env_red.png", "env_red2.png"};
    const char* pictures[] = {"kelvaron.png", "kelvaron_opacity.png", "ruk.png",     "ruk_opacity.png",
                              "greets.png",   "greets_opacity.png",   "quorvila.png", "quorvila_opacity.png",
                              "zentrobe.png", "zentrobe_opacity.png", "logo_overlay.png", "splat1.png",
                              "splat2.png",   "splat3.png",           "splat4.png",   "splat6.png",
                              "splat7.png",   "splat8.png",           "splat9.png"};
    std::uint32_t seed = 1;
    for (const char* name : textures)
        entries.push_back(RawEntry::stored_as_is(name, test::encode_png(256, 256, noise_words(65536, seed++))));
    for (const char* name : pictures)
        entries.push_back(RawEntry::stored_as_is(name, test::encode_png(80, 50, noise_words(4000, seed++))));
    entries.push_back(RawEntry::stored_as_is("pineapple3.ase.bin", Bytes(12, 0)));  // an empty mesh
    return test::archive_file(entries);
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The window picture of one cell pixel, worked out here: background byte round(255 x c),
// glyph colour = foreground x texel (red and blue swapped), blended by alpha = blue byte.
int expected_channel(int attribute, int glyph, int x, int y, int channel) {
    static const double palette[16][3] = {{0, 0, 0},       {0, 0, .5},     {0, .5, 0}, {0, .5, .5}, {.5, 0, 0}, {.5, 0, .5},
                                          {.5, .5, 0},     {.75, .75, .75}, {.5, .5, .5}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1},
                                          {1, 0, 0},       {1, 0, 1},      {1, 1, 0},  {1, 1, 1}};
    const std::uint32_t word = font_word(8 * glyph + x, y);
    const double texel[3] = {static_cast<double>(word & 255), static_cast<double>((word >> 8) & 255),
                             static_cast<double>((word >> 16) & 255)};
    const double alpha = (word & 255) / 255.0;
    const double background = std::round(palette[(attribute >> 4) & 15][channel] * 255);
    return static_cast<int>(std::lround(palette[attribute & 15][channel] * texel[channel] * alpha + background * (1 - alpha)));
}

class CaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // One folder per process: CTest runs the cases of this suite in parallel.
        dir_ = fs::path(::testing::TempDir()) / ("capture_test_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const Bytes archive = show_archive();
        std::ofstream(dir_ / "show.salad", std::ios::binary).write(reinterpret_cast<const char*>(archive.data()),
                                                                  static_cast<std::streamsize>(archive.size()));
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    struct Run {
        int exit_code;
        std::string output;  // stdout and stderr
    };
    static Run capture(const std::string& args) {
        const std::string log = (dir_ / "log.txt").string();
        const std::string command = "cd '" + dir_.string() + "' && '" CAPTURE_EXECUTABLE "' " + args + " >'" + log + "' 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
    }
    static std::vector<std::uint8_t> load_png(const fs::path& path) {
        int w = 0, h = 0, n = 0;
        const Bytes png = read_file(path);
        stbi_uc* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 3);
        EXPECT_NE(pixels, nullptr) << path;
        if (!pixels) return {};
        EXPECT_EQ(w, 640);
        EXPECT_EQ(h, 400);
        std::vector<std::uint8_t> rgb(pixels, pixels + 640 * 400 * 3);
        stbi_image_free(pixels);
        return rgb;
    }
    // Every pixel of the picture against the cells, within one step of rounding.
    static void expect_picture_of_cells(const std::vector<std::uint8_t>& rgb, const std::uint8_t* cells) {
        int mismatches = 0;
        for (int cell = 0; cell < CELLS && mismatches < 5; ++cell) {
            const int attribute = cells[cell * 2], glyph = cells[cell * 2 + 1];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    for (int c = 0; c < 3; ++c) {
                        const int px = (cell % 80) * 8 + x, py = (cell / 80) * 8 + y;
                        const int got = rgb[(static_cast<std::size_t>(py) * 640 + px) * 3 + c];
                        if (std::abs(got - expected_channel(attribute, glyph, x, y, c)) > 1) {
                            ADD_FAILURE() << "cell " << cell << " pixel " << x << "," << y << " channel " << c << ": " << got
                                          << " instead of " << expected_channel(attribute, glyph, x, y, c);
                            ++mismatches;
                        }
                    }
        }
    }

    static fs::path dir_;
};

fs::path CaptureTest::dir_;

TEST_F(CaptureTest, BadArgumentsExitWithCode2AndSayWhy) {
    const std::pair<const char*, const char*> cases[] = {
        {"--words w.bin", "no positions"},
        {"--at 5", "nothing to write"},
        {"--at 5,x --words w.bin", "\"x\" is not a number"},
        {"--at 5, --words w.bin", "\"\" is not a number"},
        {"--at 4294967296 --words w.bin", "not a number"},
        {"--at 5 --from 0 --to 9 --words w.bin", "cannot be combined"},
        {"--from 10 --to 9 --words w.bin", "--from lies after --to"},
        {"--from 0 --words w.bin", "go together"},
        {"--from 0 --to 9 --step 0 --words w.bin", "at least 1"},
        {"--at 5 --words", "--words needs a value"},
        {"--at 5 --words a --words b", "given twice"},
        {"--frames 5", "unknown argument \"--frames\""},
        {"--video v.mp4 --at 5", "no --at or --step"},
        {"--video v.mp4 --png p", "without other outputs"},
        {"--video v.mp4 --scale 0", "1..8"},
        {"--at 5 --words w.bin --scale 2", "--scale needs --video"},
    };
    for (const auto& [args, message] : cases) {
        const Run run = capture(args);
        EXPECT_EQ(run.exit_code, 2) << args;
        EXPECT_NE(run.output.find(message), std::string::npos) << args << ": " << run.output;
    }
    const Run help = capture("--help");
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.output.rfind("usage: textdemo-capture", 0), 0u);
    EXPECT_NE(help.output.find("--png DIR"), std::string::npos);
}

TEST_F(CaptureTest, PositionsOutsideTheShowGiveDarkRedFramesInEveryOutput) {
    // 1001 ms is one past the music; 4294967295 is the -1 of a failed query.
    const Run run = capture("--archive show.salad --at 1001,4294967295 --words red.words --cells red.cells "
                            "--console red.console --png red");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const Bytes words = read_file(dir_ / "red.words"), cells = read_file(dir_ / "red.cells"),
                console = read_file(dir_ / "red.console");
    ASSERT_EQ(words.size(), 2u * CELLS * 4);
    ASSERT_EQ(cells.size(), 2u * CELLS * 2);
    ASSERT_EQ(console.size(), 2u * CELLS * 2);
    for (int i = 0; i < 2 * CELLS; ++i) {
        ASSERT_EQ((Bytes{words.begin() + i * 4, words.begin() + i * 4 + 4}), (Bytes{0x00, 0x00, 0x78, 0x00})) << i;
        ASSERT_EQ(cells[i * 2], 0x4C);
        ASSERT_EQ(cells[i * 2 + 1], 0);
        ASSERT_EQ(console[i * 2], 32);
        ASSERT_EQ(console[i * 2 + 1], 0x4C);
    }
    ASSERT_TRUE(fs::exists(dir_ / "red" / "000001.png"));
    EXPECT_FALSE(fs::exists(dir_ / "red" / "000002.png"));
    const auto rgb = load_png(dir_ / "red" / "000000.png");
    ASSERT_FALSE(rgb.empty());
    // Glyph 0 texel (0, 0) is v = 0: the bare dark-red background; texel (1, 0) is v = 127:
    // bright red x 127 x 127/255 over 128 x 128/255 = 63.25 + 64.25 -> 128 (rounded to 127.5).
    EXPECT_EQ((std::vector<int>{rgb[0], rgb[1], rgb[2]}), (std::vector<int>{128, 0, 0}));
    EXPECT_NEAR(rgb[3], 128, 1);
    EXPECT_EQ(rgb[4], 0);
    // Texel (2, 0) is v = 254: red 254 x 254/255 + 128 x 1/255 = 253.5.
    EXPECT_NEAR(rgb[6], 253, 1);
    expect_picture_of_cells(rgb, cells.data());
}

TEST_F(CaptureTest, EveryOutputOfAShowRangeAgreesWithTheWordsAndRunsRepeatably) {
    const Run run = capture("--archive show.salad --from 0 --to 1040 --step 80 --words range.words "
                            "--cells range.cells --console range.console --png range");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const int frames = 14;  // 0, 80, ..., 1040
    const Bytes words = read_file(dir_ / "range.words"), cells = read_file(dir_ / "range.cells"),
                console = read_file(dir_ / "range.console");
    ASSERT_EQ(words.size(), static_cast<std::size_t>(frames) * CELLS * 4);
    ASSERT_EQ(cells.size(), static_cast<std::size_t>(frames) * CELLS * 2);
    ASSERT_EQ(console.size(), static_cast<std::size_t>(frames) * CELLS * 2);
    EXPECT_FALSE(fs::exists(dir_ / "range" / "000014.png"));

    std::vector<std::uint8_t> previous_cells(CELLS * 2, 0);
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < CELLS; ++i) {
            const std::size_t at = static_cast<std::size_t>(f) * CELLS + i;
            const std::uint32_t word = words[at * 4] | words[at * 4 + 1] << 8 | words[at * 4 + 2] << 16 |
                                       static_cast<std::uint32_t>(words[at * 4 + 3]) << 24;
            const std::uint8_t* cell = &cells[at * 2];
            const std::uint8_t* text = &console[at * 2];
            if (word >> 24 == 2) {
                // A cell word: the console shows it as it stands, the window keeps its cell.
                ASSERT_EQ(text[0], word & 0xFF);
                ASSERT_EQ(text[1], (word >> 8) & 0xFF);
                ASSERT_EQ(cell[0], previous_cells[i * 2]);
                ASSERT_EQ(cell[1], previous_cells[i * 2 + 1]);
            } else {
                const Cell expected = convert_word(word);
                ASSERT_EQ(cell[0], expected.attribute) << "frame " << f << " cell " << i;
                ASSERT_EQ(cell[1], expected.glyph);
                ASSERT_EQ(text[0], ShadeChars[expected.glyph]);
                ASSERT_EQ(text[1], expected.attribute);
            }
        }
        previous_cells.assign(&cells[static_cast<std::size_t>(f) * CELLS * 2],
                              &cells[static_cast<std::size_t>(f + 1) * CELLS * 2]);
    }
    // 560 ms lies in slot 5 (501..610 ms), drawn by the Table; 1040 ms lies past the music.
    const auto dark_red = [&](int f) {
        for (int i = 0; i < CELLS; ++i) {
            const std::size_t at = (static_cast<std::size_t>(f) * CELLS + i) * 4;
            if (words[at] != 0 || words[at + 1] != 0 || words[at + 2] != 0x78 || words[at + 3] != 0) return false;
        }
        return true;
    };
    EXPECT_FALSE(dark_red(7));
    EXPECT_TRUE(dark_red(13));
    for (int f : {0, 5, 12}) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.png", f);
        SCOPED_TRACE(name);
        expect_picture_of_cells(load_png(dir_ / "range" / name), &cells[static_cast<std::size_t>(f) * CELLS * 2]);
    }

    // The same positions listed one by one give the same frames.
    const Run again = capture("--archive show.salad --at 0,80,160,240,320,400,480,560,640,720,800,880,960,1040 "
                              "--words again.words");
    ASSERT_EQ(again.exit_code, 0) << again.output;
    EXPECT_TRUE(read_file(dir_ / "again.words") == words);
}

TEST_F(CaptureTest, AMissingArchiveEndsAtTheMusicLookup) {
    const Run run = capture("--archive none.salad --at 0 --words none.words");
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_EQ(run.output, "unable to open none.salad\nresource \"ruk.mp3\" not found\n");
}

// What ffprobe reports about a video file, one key=value per line.
std::string probe(const fs::path& file) {
    const std::string command = "ffprobe -v error -count_frames -show_entries stream=codec_type,width,height,nb_read_frames "
                                "-show_entries format=duration -of default=nw=1 '" + file.string() + "' 2>&1";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
        pclose(pipe);
    }
    return text;
}

double probed_duration(const std::string& report) {
    const auto at = report.find("duration=");
    return at == std::string::npos ? -1.0 : std::atof(report.c_str() + at + 9);
}

TEST_F(CaptureTest, VideoHoldsEveryFrameAtTheScaleAndTheMusic) {
    // 16 to 496 ms: 31 frames at 62.5 per second, 0.496 s.
    const Run run = capture("--archive show.salad --video clip.mp4 --from 16 --to 496 --scale 2");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "");  // no progress bar without a terminal
    const std::string report = probe(dir_ / "clip.mp4");
    EXPECT_NE(report.find("codec_type=video\nwidth=1280\nheight=800\nnb_read_frames=31\n"), std::string::npos) << report;
    EXPECT_NE(report.find("codec_type=audio"), std::string::npos) << report;
    EXPECT_NEAR(probed_duration(report), 0.496, 0.05) << report;

    // Without --to the video runs to the music's end: 0..1000 ms gives 63 frames.
    ASSERT_EQ(capture("--archive show.salad --video whole.mp4 --scale 1").exit_code, 0);
    const std::string whole = probe(dir_ / "whole.mp4");
    EXPECT_NE(whole.find("width=640\nheight=400\nnb_read_frames=63\n"), std::string::npos) << whole;
}

TEST_F(CaptureTest, VideoWithoutFfmpegSaysSoAndFails) {
    const std::string log = (dir_ / "no_ffmpeg.txt").string();
    const std::string command = "cd '" + dir_.string() + "' && PATH=/nonexistent '" CAPTURE_EXECUTABLE
                                "' --archive show.salad --video none.mp4 >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("needs the ffmpeg program"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir_ / "none.mp4"));
}

}  // namespace
}  // namespace textdemo
