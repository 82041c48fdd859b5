// textdemo-capture on a synthetic archive: its command line and error lines, the dark-red
// frames outside the show, the agreement of words, window cells, console cells and
// pictures, and videos whose sound and picture end together and which an interrupt or a
// failing ffmpeg leaves behind as nothing. No output ever replaces the archive, and none is
// left half written: not on a full disk, not after an interrupt.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "frame/convert.hpp"
#include "song/pattern_data.hpp"
#include "tests/support/archive_bytes.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/small_disk.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RawEntry;

constexpr int CELLS = 4000;

// The warning of a run that renders positions past the synthetic music's end.
const std::string PAST_THE_END_WARNING =
    "textdemo-capture: positions past the music's end at 1000 ms show no effect: they render dark red, as the show would\n";

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
// `dump` replaces the pattern dump.
Bytes show_archive(const Bytes& dump = test::make_pattern_dump({0}, {1}, {{0, 3, 0, 5}})) {
    std::vector<RawEntry> entries;
    entries.push_back(RawEntry::stored_as_is("ruk.mp3", test::encode_test_mp3(44100, 44100, 2)));
    entries.push_back(RawEntry::stored_as_is("patterndata.bin", dump));
    std::vector<std::uint32_t> font(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) font[static_cast<std::size_t>(y) * 256 + x] = font_word(x, y);
    entries.push_back(RawEntry::lzma("textmodechars.png", test::encode_png(256, 256, font)));
    std::uint32_t seed = 1;
    for (const test::ShowPicture& picture : test::SHOW_PICTURES) {
        const int count = picture.width * picture.height;
        entries.push_back(RawEntry::stored_as_is(
            picture.name, test::encode_png(picture.width, picture.height, noise_words(count, seed++))));
    }
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
    // Runs the tool (or a copy of it at `program`) in the test folder; shell_prefix goes
    // before it (a prlimit, a PATH).
    static Run capture(const std::string& args, const std::string& shell_prefix = "",
                       const std::string& program = CAPTURE_EXECUTABLE) {
        const std::string log = (dir_ / "log.txt").string();
        const std::string command = "cd '" + dir_.string() + "' && " + shell_prefix + " '" + program + "' " + args +
                                    " >'" + log + "' 2>&1";
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
        {"--frames 5", "unknown option \"--frames\""},
        {"words.bin --at 5", "unexpected argument \"words.bin\""},
        {"--help=yes", "--help takes no value"},
        {"--video v.mp4 --at 5", "no --at or --step"},
        {"--video v.mp4 --png p", "without other outputs"},
        {"--video v.mp4 --scale 0", "1..8"},
        {"--at 5 --words w.bin --scale 2", "--scale needs --video"},
        {"--from 0 --to 86400000 --words w.bin", "--from 0 --to 86400000 --step 16 gives 5400001 positions, more than "
                                                 "the 5400000 (a day of 16 ms frames) one run renders"},
        {"--video v.mp4 --to 86400000", "gives 5400001 positions"},
        {"--archive show.salad --video v.mp4 --from 1001", "--from 1001 lies past the music's end at 1000 ms"},
    };
    for (const auto& [args, message] : cases) {
        const Run run = capture(args);
        EXPECT_EQ(run.exit_code, 2) << args;
        EXPECT_NE(run.output.find(message), std::string::npos) << args << ": " << run.output;
    }
    EXPECT_FALSE(fs::exists(dir_ / "w.bin"));
    EXPECT_FALSE(fs::exists(dir_ / "v.mp4"));
    const Run help = capture("--help");
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.output.rfind("usage: textdemo-capture", 0), 0u);
    EXPECT_NE(help.output.find("--png DIR"), std::string::npos);
}

TEST_F(CaptureTest, HugeRangesAreRefusedBeforeAnythingIsAllocated) {
    // 2^32 positions would take 16 GiB as a list: refused before anything is allocated or
    // written, within 200 MB of address space.
    const Run huge =
        capture("--archive show.salad --from 0 --to 4294967295 --step 1 --words huge.bin", "prlimit --as=200000000");
    EXPECT_EQ(huge.exit_code, 2) << huge.output;
    EXPECT_EQ(huge.output, "textdemo-capture: --from 0 --to 4294967295 --step 1 gives 4294967296 positions, more than "
                           "the 5400000 (a day of 16 ms frames) one run renders\n(--help explains the options)\n");
    EXPECT_FALSE(fs::exists(dir_ / "huge.bin"));

    // The largest range allowed starts rendering at once, in the same address space; the
    // first frame's write fails on the full device.
    const Run largest =
        capture("--archive show.salad --from 0 --to 86399999 --words /dev/full", "prlimit --as=200000000");
    EXPECT_EQ(largest.exit_code, 1);
    EXPECT_EQ(largest.output,
              PAST_THE_END_WARNING + "textdemo-capture: cannot write /dev/full: No space left on device\n");
}

TEST_F(CaptureTest, ErrorLinesSayWhy) {
    std::ofstream(dir_ / "plain_file") << "x";
    fs::create_directories(dir_ / "taken" / "000000.png");
    const std::pair<const char*, const char*> cases[] = {
        {"--at 5 --words no/such/w.bin", "cannot write no/such/w.bin: No such file or directory"},
        {"--at 5 --cells /dev/full", "cannot write /dev/full: No space left on device"},
        {"--at 5 --png plain_file/shots", "cannot create plain_file/shots: Not a directory"},
        {"--at 5 --png plain_file", "cannot create plain_file: Not a directory"},
        {"--at 5 --png taken", "cannot write taken/000000.png: Is a directory"},
        {"--video no/such/v.mp4", "cannot write no/such/v.mp4: No such file or directory"},
    };
    for (const auto& [args, message] : cases) {
        const Run run = capture(std::string("--archive show.salad ") + args);
        EXPECT_EQ(run.exit_code, 1) << args;
        EXPECT_EQ(run.output, "textdemo-capture: " + std::string(message) + "\n") << args;
    }
}

TEST_F(CaptureTest, PositionsOutsideTheShowGiveDarkRedFramesInEveryOutput) {
    // 1001 ms is one past the music; 4294967295 is the -1 of a failed query.
    const Run run = capture("--archive show.salad --at 1001,4294967295 --words red.words --cells red.cells "
                            "--console red.console --png red");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, PAST_THE_END_WARNING);  // said once for both
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
    EXPECT_EQ(run.output, PAST_THE_END_WARNING);
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
    EXPECT_EQ(capture("--archive show.salad --at 1000,0 --words within.words").output, "");
}

TEST_F(CaptureTest, AMissingArchiveEndsAtOnceWithTheReason) {
    const Run run = capture("--archive none.salad --at 0 --words none.words");
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_EQ(run.output, "textdemo-capture: unable to open none.salad: No such file or directory\n");
}

// Without --archive the tool looks where the players look: here, then beside the program,
// then in share/textdemo beside its bin/ folder; when none opens, one line names them all.
TEST_F(CaptureTest, WithoutArchiveItLooksBesideTheProgramAndInTheDataFolder) {
    const fs::path bin = dir_ / "prefix/bin", data = dir_ / "prefix/share/textdemo";
    fs::create_directories(bin);
    fs::create_directories(data);
    fs::copy_file(CAPTURE_EXECUTABLE, bin / "textdemo-capture");
    const std::string program = (bin / "textdemo-capture").string();
    const Run none = capture("--at 0 --words none.words", "", program);
    EXPECT_EQ(none.exit_code, 255);
    EXPECT_EQ(none.output, "textdemo-capture: unable to open ruk.salad: ./ruk.salad: No such file or directory; " + (bin / "ruk.salad").string() +
                               ": No such file or directory; " + (data / "ruk.salad").string() +
                               ": No such file or directory\n");
    for (const fs::path& place : {data, bin}) {
        fs::copy_file(dir_ / "show.salad", place / "ruk.salad");
        const Run found = capture("--at 0 --words found.words", "", program);
        EXPECT_EQ(found.exit_code, 0) << place << ": " << found.output;
        EXPECT_EQ(read_file(dir_ / "found.words").size(), 16000u) << place;
    }
    fs::remove_all(dir_ / "prefix");
}

// What ffprobe counts and measures in a video file.
struct Streams {
    int width = 0, height = 0;
    long frames = -1;
    double video_seconds = -1, audio_seconds = -1;
};

Streams probe(const fs::path& file) {
    const std::string command = "ffprobe -v error -count_frames -show_entries stream=codec_type,width,height,duration,"
                                "nb_read_frames -of default=nw=1 '" + file.string() + "' 2>&1";
    Streams streams;
    bool audio = false;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe)) {
            const std::string text = line;
            const std::string key = text.substr(0, text.find('=')), value = text.substr(text.find('=') + 1);
            if (key == "codec_type") audio = value == "audio\n";
            if (key == "width") streams.width = std::atoi(value.c_str());
            if (key == "height") streams.height = std::atoi(value.c_str());
            if (key == "nb_read_frames" && !audio) streams.frames = std::atol(value.c_str());
            if (key == "duration") (audio ? streams.audio_seconds : streams.video_seconds) = std::atof(value.c_str());
        }
        pclose(pipe);
    }
    return streams;
}

// Every frame is in the picture, 16 ms each, and the sound lasts as long within one frame.
void expect_streams_end_together(const Streams& video, long frames) {
    EXPECT_EQ(video.frames, frames);
    EXPECT_NEAR(video.video_seconds, frames * 0.016, 0.0005);
    EXPECT_NEAR(video.audio_seconds, video.video_seconds, 0.016);
}

TEST_F(CaptureTest, VideoSoundAndPictureEndTogether) {
    struct Case {
        const char* args;
        long frames;
        int scale;
        bool past_the_end;
    };
    const Case cases[] = {
        {"--from 1000 --to 1000 --scale 1", 1, 1, false},  // the last position of the music alone
        {"--from 16 --to 496", 31, 2, false},               // the default scale
        {"--scale 1", 63, 1, false},                        // the whole show: 0 to the music's end
        {"--from 900 --to 1500 --scale 1", 38, 1, true},    // silence after the music's end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        fs::remove(dir_ / "clip.mp4");
        const Run run = capture(std::string("--archive show.salad --video clip.mp4 ") + c.args);
        ASSERT_EQ(run.exit_code, 0) << run.output;
        EXPECT_EQ(run.output, c.past_the_end ? PAST_THE_END_WARNING : "");  // no progress bar without a terminal
        const Streams video = probe(dir_ / "clip.mp4");
        EXPECT_EQ(video.width, 640 * c.scale);
        EXPECT_EQ(video.height, 400 * c.scale);
        expect_streams_end_together(video, c.frames);
    }
}

// The whole show takes minutes to encode, longer than the test run allows: its last ten
// seconds, to the end of its music, stand in for it.
TEST_F(CaptureTest, VideoOfTheShowsLastSecondsEndsWithItsMusic) {
    const Run run = capture("--archive '" + test::show_archive_path() + "' --video last.mp4 --from 206000 --scale 1");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const Streams video = probe(dir_ / "last.mp4");
    EXPECT_GT(video.frames, 600);
    expect_streams_end_together(video, video.frames);
}

// The tool's child named ffmpeg, once it runs; 0 when there is none.
pid_t ffmpeg_child_of(pid_t parent) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        pid_t ppid = 0;
        if (stat >> pid >> name >> state >> ppid && ppid == parent && name == "(ffmpeg)") return std::stoi(pid);
    }
    return 0;
}

// Gone, or a zombie nobody reaps.
bool process_ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string id, name, state;
    return !(stat >> id >> name >> state) || state == "Z";
}

// A capture running in the background, killed at the end of the scope if it still runs.
struct BackgroundCapture {
    pid_t pid = -1;
    explicit BackgroundCapture(const std::vector<std::string>& args, const fs::path& log) {
        std::vector<char*> argv{const_cast<char*>(CAPTURE_EXECUTABLE)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawn(&pid, CAPTURE_EXECUTABLE, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~BackgroundCapture() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        wait();
    }
    // The wait status, polled for up to 30 s.
    int wait() {
        int status = -1;
        for (int i = 0; i < 1500 && pid > 0; ++i) {
            if (waitpid(pid, &status, WNOHANG) == pid) pid = -1;
            else usleep(20000);
        }
        return status;
    }
};

TEST_F(CaptureTest, AnInterruptedExportLeavesNothingBehind) {
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        const fs::path out = dir_ / ("interrupted_" + std::to_string(signal));
        fs::create_directories(out);
        // Ten minutes of dark red after the music: still running when the signal comes.
        BackgroundCapture run({"--archive", (dir_ / "show.salad").string(), "--video", (out / "cut.mp4").string(),
                               "--scale", "1", "--to", "600000"},
                              out.string() + ".log");
        ASSERT_GT(run.pid, 0);
        pid_t ffmpeg = 0;
        for (int i = 0; i < 1500 && !(ffmpeg = ffmpeg_child_of(run.pid)); ++i) usleep(20000);
        ASSERT_GT(ffmpeg, 0) << "ffmpeg never started";

        kill(run.pid, signal);
        const int status = run.wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        for (int i = 0; i < 1500 && !process_ended(ffmpeg); ++i) usleep(20000);
        EXPECT_TRUE(process_ended(ffmpeg));
        EXPECT_FALSE(fs::exists(out / "cut.mp4"));
        if (signal != SIGKILL) {
            EXPECT_TRUE(fs::is_empty(out)) << fs::directory_iterator(out)->path();
            std::ifstream log(out.string() + ".log");
            const std::string text((std::istreambuf_iterator<char>(log)), {});
            EXPECT_EQ(text, PAST_THE_END_WARNING + "textdemo-capture: interrupted; " + (out / "cut.mp4").string() +
                                " not written\n");
        }
        // A killed tool cannot clean up: ffmpeg dies with it, and only its partial file, under
        // another name, stays.
    }
}

TEST_F(CaptureTest, AFailingFfmpegIsReportedWithItsLastLine) {
    fs::create_directories(dir_ / "fake" / "out");
    const std::string fake = (dir_ / "fake" / "ffmpeg").string();
    const std::string path = "PATH='" + (dir_ / "fake").string() + "':\"$PATH\"";
    const std::pair<const char*, const char*> cases[] = {
        // Stops reading after a few frames, as on a full disk.
        {"head -c 3000000 >/dev/null\necho 'frame=    3 fps=0.0' >&2\n"
         "echo 'Error writing trailer: No space left on device' >&2\nexit 1\n",
         "ffmpeg failed: Error writing trailer: No space left on device"},
        {"head -c 3000000 >/dev/null\nkill -9 $$\n", "ffmpeg was ended by signal 9"},
        {"cat >/dev/null\nexit 3\n", "ffmpeg failed with exit code 3"},
        // Reads everything and says it succeeded, but writes nothing.
        {"cat >/dev/null\nexit 0\n", "ffmpeg made no video"},
    };
    for (const auto& [script, message] : cases) {
        SCOPED_TRACE(message);
        std::ofstream(fake) << "#!/bin/sh\n" << script;
        fs::permissions(fake, fs::perms::owner_all);
        const Run run = capture("--archive show.salad --video fake/out/failed.mp4 --scale 1", path);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.output, "textdemo-capture: " + std::string(message) + "\n");
        EXPECT_TRUE(fs::is_empty(dir_ / "fake" / "out"));
    }

    // Writes what is no video; the ffprobe beside it says so.
    std::ofstream(fake) << "#!/bin/sh\ncat >/dev/null\nfor a; do last=$a; done\necho junk >\"${last#file:}\"\n";
    fs::create_symlink("/usr/bin/ffprobe", dir_ / "fake" / "ffprobe");
    const Run junk = capture("--archive show.salad --video fake/out/junk.mp4 --scale 1", path);
    EXPECT_EQ(junk.exit_code, 1);
    EXPECT_EQ(junk.output, "textdemo-capture: ffmpeg made a video ffprobe cannot read\n");
    EXPECT_TRUE(fs::is_empty(dir_ / "fake" / "out"));
    fs::remove_all(dir_ / "fake");

    const Run missing = capture("--archive show.salad --video none.mp4", "PATH=/nonexistent");
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.output,
              "textdemo-capture: --video needs the ffmpeg program (Debian package ffmpeg), not found on PATH\n");
    EXPECT_FALSE(fs::exists(dir_ / "none.mp4"));
}

// A dump of the right size whose cuts would fall before row 0 (all zeros: the cut one row
// before order 24 at row -1, 49 days into the song) gives no timeline.
TEST_F(CaptureTest, APatternDumpWithoutATimelineIsRefused) {
    const Bytes archive = show_archive(Bytes(PATTERN_DUMP_SIZE, 0));
    std::ofstream(dir_ / "zeros.salad", std::ios::binary)
        .write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    const Run run = capture("--archive zeros.salad --at 0 --words zeros.words");
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_EQ(run.output, "textdemo-capture: pattern dump \"patterndata.bin\" gives no timeline: slot 4 would end at "
                          "row -1, before it starts at row 0\n");
    EXPECT_FALSE(fs::exists(dir_ / "zeros.words"));
    fs::remove(dir_ / "zeros.salad");
}

TEST_F(CaptureTest, AVideoIsNeverWrittenOverAFifoOrTheArchive) {
    ASSERT_EQ(mkfifo((dir_ / "pipe.mp4").c_str(), 0644), 0);
    const Run fifo = capture("--archive show.salad --video pipe.mp4");
    EXPECT_EQ(fifo.exit_code, 1);
    EXPECT_EQ(fifo.output, "textdemo-capture: cannot write pipe.mp4: not a regular file (a FIFO or a device)\n");
    EXPECT_TRUE(fs::is_fifo(dir_ / "pipe.mp4"));
    fs::remove(dir_ / "pipe.mp4");

    fs::copy_file(dir_ / "show.salad", dir_ / "video.salad.mp4");
    const Run archive = capture("--archive video.salad.mp4 --video video.salad.mp4");
    EXPECT_EQ(archive.exit_code, 1);
    EXPECT_EQ(archive.output,
              "textdemo-capture: cannot write video.salad.mp4: it is the same file as the input video.salad.mp4\n");
    EXPECT_TRUE(read_file(dir_ / "video.salad.mp4") == read_file(dir_ / "show.salad"));
    fs::remove(dir_ / "video.salad.mp4");
}

TEST_F(CaptureTest, NoOutputReplacesTheArchiveOrAnotherOutput) {
    const Bytes show = read_file(dir_ / "show.salad");
    fs::create_directories(dir_ / "alias");
    fs::copy_file(dir_ / "show.salad", dir_ / "alias" / "mine.salad");
    const Run named = capture("--archive alias/mine.salad --at 0 --words alias/mine.salad");
    EXPECT_EQ(named.exit_code, 1);
    EXPECT_EQ(named.output,
              "textdemo-capture: cannot write alias/mine.salad: it is the same file as the input alias/mine.salad\n");
    EXPECT_TRUE(read_file(dir_ / "alias" / "mine.salad") == show);

    // Without --archive: the show's archive where the players find it.
    fs::copy_file(dir_ / "show.salad", dir_ / "alias" / "ruk.salad");
    const Run found = capture("--at 0 --console ruk.salad", "cd alias &&");
    EXPECT_EQ(found.exit_code, 1);
    EXPECT_EQ(found.output, "textdemo-capture: cannot write ruk.salad: it is the same file as the input ./ruk.salad\n");
    EXPECT_TRUE(read_file(dir_ / "alias" / "ruk.salad") == show);

    const Run twice = capture("--archive show.salad --at 0 --words alias/a.bin --cells alias/./a.bin");
    EXPECT_EQ(twice.exit_code, 1);
    EXPECT_EQ(twice.output, "textdemo-capture: --words and --cells name the same file alias/a.bin\n");
    EXPECT_EQ(test::leftover_names(dir_ / "alias", {"mine.salad", "ruk.salad"}), "");
    fs::remove_all(dir_ / "alias");
}

TEST_F(CaptureTest, AFullDiskLeavesNoPartOfAnyOutput) {
    {
        test::SmallDisk disk(dir_ / "disk", 1 << 20);
        if (!disk.mounted()) GTEST_SKIP() << disk.why_not;
        // 126 frames: 2 MB of words alone.
        const Run run = capture("--archive show.salad --from 0 --to 2000 --words disk/w.bin --cells disk/c.bin "
                                "--console disk/k.bin");
        EXPECT_EQ(run.exit_code, 1);
        // Whichever of the three crosses the limit first.
        const std::string line = run.output.substr(std::min(run.output.size(), PAST_THE_END_WARNING.size()));
        EXPECT_TRUE(line == "textdemo-capture: cannot write disk/w.bin: No space left on device\n" ||
                    line == "textdemo-capture: cannot write disk/c.bin: No space left on device\n" ||
                    line == "textdemo-capture: cannot write disk/k.bin: No space left on device\n")
            << run.output;
        EXPECT_EQ(test::leftover_names(disk.folder()), "");
    }
    // Pictures are written one by one: those finished stay whole, the one that did not fit
    // is gone.
    test::SmallDisk disk(dir_ / "disk", 64 << 10);
    const Run run = capture("--archive show.salad --from 0 --to 4000 --png disk/p");
    EXPECT_EQ(run.exit_code, 1);
    const std::size_t at = run.output.find("textdemo-capture: cannot write disk/p/");
    ASSERT_NE(at, std::string::npos) << run.output;
    const std::string failed = run.output.substr(at + 38, 10);
    EXPECT_EQ(run.output.substr(at + 48), ": No space left on device\n");
    const int written = std::stoi(failed.substr(0, 6));
    EXPECT_GT(written, 0);
    std::set<std::string> complete;
    for (int i = 0; i < written; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.png", i);
        complete.insert(name);
        SCOPED_TRACE(name);
        EXPECT_EQ(load_png(disk.folder() / "p" / name).size(), 640u * 400 * 3);
    }
    EXPECT_EQ(test::leftover_names(disk.folder() / "p", complete), "");
}

TEST_F(CaptureTest, AnInterruptedCaptureLeavesNoFrameFiles) {
    const fs::path out = dir_ / "interrupted_frames";
    fs::create_directories(out);
    // A day of frames: still running when the signal comes.
    BackgroundCapture run({"--archive", (dir_ / "show.salad").string(), "--from", "0", "--to", "86399999", "--words",
                           (out / "w.bin").string()},
                          out.string() + ".log");
    ASSERT_GT(run.pid, 0);
    for (int i = 0; i < 1500 && fs::is_empty(out); ++i) usleep(20000);
    ASSERT_FALSE(fs::is_empty(out)) << "the capture never started writing";
    kill(run.pid, SIGTERM);
    const int status = run.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(fs::is_empty(out)) << fs::directory_iterator(out)->path();
    std::ifstream log(out.string() + ".log");
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    EXPECT_EQ(text, PAST_THE_END_WARNING + "textdemo-capture: interrupted; the frame files are not written\n");
}

}  // namespace
}  // namespace textdemo
