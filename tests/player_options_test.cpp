// The players' command line: song times, value checks, options of one program refused by
// the other, and the help texts; then what start-up makes of it (start position, music).
#include "apps/player_options.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "apps/player_start.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "song/music_player.hpp"
#include "song/pattern_data.hpp"
#include "song/sound_layer.hpp"
#include "tests/support/empty_archive.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo {
namespace {

ParsedPlayerOptions parse(PlayerProgram program, std::vector<std::string> args) {
    return parse_player_options(program, args);
}
ParsedPlayerOptions console(std::vector<std::string> args) { return parse(PlayerProgram::Console, std::move(args)); }
ParsedPlayerOptions window(std::vector<std::string> args) { return parse(PlayerProgram::Window, std::move(args)); }
ParsedPlayerOptions web(std::vector<std::string> args) { return parse(PlayerProgram::Web, std::move(args)); }

TEST(SongTime, SecondsMinutesAndMilliseconds) {
    EXPECT_EQ(parse_song_time("0"), 0u);
    EXPECT_EQ(parse_song_time("95"), 95000u);
    EXPECT_EQ(parse_song_time("95.5"), 95500u);
    EXPECT_EQ(parse_song_time("95.05"), 95050u);
    EXPECT_EQ(parse_song_time("95.005"), 95005u);
    EXPECT_EQ(parse_song_time("1:40"), 100000u);
    EXPECT_EQ(parse_song_time("1:40.250"), 100250u);
    EXPECT_EQ(parse_song_time("0:00"), 0u);
    EXPECT_EQ(parse_song_time("3:59.999"), 239999u);
    EXPECT_EQ(parse_song_time("999999.999"), 999999999u);
    EXPECT_EQ(parse_song_time("9999:59.999"), 599999999u);
    for (const char* bad : {"", "-1", "+5", "1e3", "1:60", "1:5", "1:050", "1:", ":30", "1:30:00", "1.", "1.2345",
                            ".5", "1,5", "1:3a", "1234567", "10000:00", " 5", "5 "})
        EXPECT_FALSE(parse_song_time(bad).has_value()) << bad;
}

TEST(SongTime, WrittenAsMinutesSecondsAndMillisecondsThatReadBack) {
    EXPECT_EQ(format_song_time(0), "0:00.000");
    EXPECT_EQ(format_song_time(100000), "1:40.000");
    EXPECT_EQ(format_song_time(216383), "3:36.383");
    EXPECT_EQ(format_song_time(599999999), "9999:59.999");
    for (std::uint32_t ms : {0u, 59999u, 60000u, 216383u}) EXPECT_EQ(parse_song_time(format_song_time(ms)), ms);
}

TEST(PlayerOptions, DefaultsAreTheShowAsAlways) {
    const ParsedPlayerOptions parsed = console({});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.archive, "");
    EXPECT_FALSE(parsed.options.start_ms.has_value());
    EXPECT_EQ(parsed.options.section, 0);
    EXPECT_EQ(parsed.options.audio_delay_ms, 0);
    EXPECT_FALSE(parsed.options.mute);
    EXPECT_EQ(parsed.options.console.layout, ConsoleLayout::Auto);
    EXPECT_EQ(parsed.options.console.colours, ConsoleColours::Auto);
    EXPECT_FALSE(window({}).options.fullscreen.has_value());
}

TEST(PlayerOptions, ValuesReachTheirFields) {
    const ParsedPlayerOptions c = console({"--archive", "/x/y.salad", "--start=1:40", "--audio-delay", "-250",
                                           "--mute", "--layout", "half", "--colors=256"});
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(c.options.archive, "/x/y.salad");
    EXPECT_EQ(c.options.start_ms, 100000u);
    EXPECT_EQ(c.options.audio_delay_ms, -250);
    EXPECT_TRUE(c.options.mute);
    EXPECT_EQ(c.options.console.layout, ConsoleLayout::Half);
    EXPECT_EQ(c.options.console.colours, ConsoleColours::Indexed256);
    EXPECT_EQ(console({"--colors", "truecolor", "--layout", "native"}).options.console.colours, ConsoleColours::TrueColour);
    EXPECT_EQ(console({"--colors", "16"}).options.console.colours, ConsoleColours::Ansi16);
    EXPECT_EQ(console({"--layout=pixels"}).options.console.layout, ConsoleLayout::Pixels);
    EXPECT_EQ(console({"--section", "9"}).options.section, 9);
    EXPECT_EQ(console({"--audio-delay", "+10000"}).options.audio_delay_ms, 10000);
    EXPECT_EQ(window({"--fullscreen"}).options.fullscreen, true);
    EXPECT_EQ(window({"--window"}).options.fullscreen, false);
}

TEST(PlayerOptions, BadValuesAndCombinationsAreRefused) {
    EXPECT_EQ(console({"--section", "0"}).error, "--section: \"0\" is not a section number 1..9");
    EXPECT_NE(console({"--section", "10"}).error, "");
    EXPECT_EQ(console({"--start", "1:60"}).error, "--start: \"1:60\" is not a time (seconds, m:ss or m:ss.mmm)");
    EXPECT_NE(console({"--audio-delay", "10001"}).error, "");
    EXPECT_NE(console({"--audio-delay", "1.5"}).error, "");
    EXPECT_EQ(console({"--layout", "full"}).error, "--layout: \"full\" is not native, half, pixels or auto");
    EXPECT_EQ(console({"--colors", "24bit"}).error, "--colors: \"24bit\" is not 16, 256, truecolor or auto");
    EXPECT_EQ(console({"--start", "5", "--section", "2"}).error, "--start and --section exclude each other");
    EXPECT_EQ(window({"--window", "--fullscreen"}).error, "--fullscreen and --window exclude each other");
    // Each program knows only its own display's options.
    EXPECT_EQ(console({"--fullscreen"}).error, "unknown option \"--fullscreen\"");
    EXPECT_EQ(window({"--layout", "half"}).error, "unknown option \"--layout\"");
    // The page always asks: its answer is the click the browser wants before it plays sound.
    EXPECT_EQ(web({"--fullscreen"}).error, "unknown option \"--fullscreen\"");
    EXPECT_EQ(web({"--window"}).error, "unknown option \"--window\"");
    EXPECT_EQ(web({"--layout", "half"}).error, "unknown option \"--layout\"");
    EXPECT_EQ(web({"--section", "10"}).error, "--section: \"10\" is not a section number 1..9");
    const ParsedPlayerOptions page = web({"--archive=/ruk.salad", "--section=9", "--audio-delay=150", "--mute"});
    ASSERT_EQ(page.error, "");
    EXPECT_EQ(page.options.section, 9);
    EXPECT_EQ(page.options.audio_delay_ms, 150);
    EXPECT_TRUE(page.options.mute);
}

TEST(PlayerOptions, MessagesStartWithTheProgramInATerminalAndStandAloneOnThePage) {
    EXPECT_STREQ(player_message_prefix(PlayerProgram::Console), "textdemo-console: ");
    EXPECT_STREQ(player_message_prefix(PlayerProgram::Window), "textdemo-gl: ");
    EXPECT_STREQ(player_message_prefix(PlayerProgram::Web), "");
    EXPECT_STREQ(player_program_name(PlayerProgram::Web), "textdemo-web");
    for (const auto& [program, line] : {std::pair{PlayerProgram::Window, "textdemo-gl: the archive is damaged\n"},
                                        std::pair{PlayerProgram::Web, "the archive is damaged\n"}}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(exit_code_after(program, Failure{"the archive is damaged"}), FAILURE_EXIT_CODE);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), line);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(exit_code_after(PlayerProgram::Web, Failure{}), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(PlayerOptions, HelpListsEveryOptionAndTheKeys) {
    const std::string console_help = player_usage(PlayerProgram::Console);
    for (const char* text : {"usage: textdemo-console", "--archive FILE", "--start TIME", "--section N",
                             "--audio-delay MS", "--mute", "--layout MODE", "--colors MODE", "--help", "--version",
                             "Escape", "m mutes", "Ctrl-C", "first frame's"})
        EXPECT_NE(console_help.find(text), std::string::npos) << text;
    const std::string window_help = player_usage(PlayerProgram::Window);
    for (const char* text : {"usage: textdemo-gl", "--fullscreen", "--window", "F1", "Escape"})
        EXPECT_NE(window_help.find(text), std::string::npos) << text;
    EXPECT_EQ(window_help.find("--layout"), std::string::npos);
    const std::string web_help = player_usage(PlayerProgram::Web);
    for (const char* text : {"usage: textdemo-web", "in this page", "?section=9&mute", "--section N", "--mute", "F1"})
        EXPECT_NE(web_help.find(text), std::string::npos) << text;
    EXPECT_EQ(web_help.find("--window"), std::string::npos);
    // Readable in an 80-column terminal.
    for (const std::string& help : {console_help, window_help, web_help}) {
        std::size_t begin = 0;
        for (std::size_t end; (end = help.find('\n', begin)) != std::string::npos; begin = end + 1)
            EXPECT_LE(end - begin, 80u) << help.substr(begin, end - begin);
    }
}

// One second of music and a pattern dump of 64-row patterns: section k starts after
// through(k) whole orders of 64 rows (less one row for the slots that start early).
class PlayerStart : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::use_empty_archive();
        force_silent_sound_output(true);
        test::put_pattern_dump({0}, {});
        const std::vector<std::uint8_t> music = test::encode_test_mp3(44100, 44100, 2);
        ASSERT_FALSE(put_resource("ruk.mp3", music.data(), music.size()));
        ASSERT_FALSE(open_music_player(music_player()));
        ASSERT_FALSE(load_music(music_player()));
    }
    static void TearDownTestSuite() {
        EXPECT_FALSE(release_music(music_player()));
        release_pattern_data();
        force_silent_sound_output(false);
        test::restore_archive_path();
    }
    // show_start_ms for the options; `message` gets what it said on standard error.
    static std::optional<std::uint32_t> start_of(const std::vector<std::string>& args, std::string& message) {
        const ParsedPlayerOptions parsed = parse_player_options(PlayerProgram::Console, args);
        EXPECT_EQ(parsed.error, "");
        std::uint32_t start_ms = 12345;
        ::testing::internal::CaptureStderr();
        const bool ok = show_start_ms(PlayerProgram::Console, parsed.options, music_player(), start_ms);
        message = ::testing::internal::GetCapturedStderr();
        return ok ? std::optional<std::uint32_t>(start_ms) : std::nullopt;
    }
};

TEST_F(PlayerStart, SectionsStartWhereTheirSlotsBeginAndNothingStartsPastTheEnd) {
    std::string message;
    ASSERT_EQ(music_player().length, 1000u);
    EXPECT_EQ(start_of({}, message), 0u);
    EXPECT_EQ(start_of({"--start", "0.999"}, message), 999u);
    EXPECT_EQ(start_of({"--section", "1"}, message), 0u);
    EXPECT_EQ(message, "");
    EXPECT_EQ(start_of({"--start", "1"}, message), std::nullopt);
    EXPECT_EQ(message, "textdemo-console: --start 0:01.000 lies past the music's end at 0:01.000\n");
    // Section 2 starts after 8 orders: 512 rows of 21.8023 ms are 11162.79 ms.
    EXPECT_EQ(start_of({"--section", "2"}, message), std::nullopt);
    EXPECT_EQ(message, "textdemo-console: --section 2 starts at 0:11.162, past the music's end at 0:01.000\n");
    // Section 5 starts one row early: 24 orders of 64 rows less one, 1535 rows, 33466.6 ms.
    start_of({"--section", "5"}, message);
    EXPECT_EQ(message, "textdemo-console: --section 5 starts at 0:33.466, past the music's end at 0:01.000\n");
}

TEST_F(PlayerStart, TheMusicStartsThereAndTheLoopKnowsTheDelayTheEndAndTheMute) {
    PlayerOptions options;
    options.mute = true;
    options.audio_delay_ms = -120;
    FrameLoopState state;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(start_show_music(options, music_player(), 600, state));
    const auto playing = std::chrono::steady_clock::now();
    EXPECT_TRUE(state.muted);
    EXPECT_EQ(state.audio_delay_ms, -120);
    EXPECT_EQ(state.picture_end_ms, 1000u);
    std::uint32_t position = 0;
    if (query_music_position(music_player(), position) == SOUND_OK) {
        EXPECT_GE(position, 600u);
    } else {  // only a machine that kept this thread waiting for 400 ms gets here
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
    }
    // The music still ends where it ends: 400 ms after a start at 600.
    std::this_thread::sleep_until(playing + std::chrono::milliseconds(420));
    EXPECT_EQ(query_music_position(music_player(), position), SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(position, 0u);
}

}  // namespace
}  // namespace textdemo
