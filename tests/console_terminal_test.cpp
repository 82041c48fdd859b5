// End to end: textdemo-console in a real terminal, a detached tmux session of 80 x 50 cells
// that the test makes itself. The shown picture must be a frame of the show (drawn again
// here, in this process, from the same archive), and every way out must give the terminal
// back: exit code, terminal modes, main screen, visible cursor, default colours. A stop from
// outside gives it back too, and `fg` takes it again.
//
// Needs the show archive (TEXTDEMO_SHOW_ARCHIVE, else the one the build packs) and tmux;
// skipped without them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "display/console/console_display.hpp"
#include "display/console/cp437.hpp"
#include "frame/convert.hpp"
#include "resources/archive.hpp"
#include "resources/archive_writer.hpp"
#include "runtime/frame_loop.hpp"
#include "runtime/music_player.hpp"
#include "runtime/pattern_data.hpp"
#include "runtime/sound_layer.hpp"
#include "runtime/timeline.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace textdemo;

namespace {

std::string show_archive_path() {
    if (const char* path = std::getenv("TEXTDEMO_SHOW_ARCHIVE")) return path;
    return TEXTDEMO_ARCHIVE_FILE;
}

std::string shell_output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// How the program is started: by a script, or typed into an interactive shell with job
// control (which then also has to be told to record the exit code and modes afterwards).
enum class Shell { Script, Interactive };

// The program in a tmux session of its own, started by a script that records the terminal
// modes before and after, the program's pid and its exit code, and then keeps the pane.
class TerminalRun {
public:
    // archive: the bytes of ruk.salad in the run's folder, or empty for a copy of the show's
    // archive; arguments: the program's command line (quoted for the shell); program and
    // folder: what runs where (by default the built console program in the run's folder);
    // shell: started by the script, or typed into an interactive shell.
    explicit TerminalRun(const std::vector<std::uint8_t>& archive = {}, const std::string& arguments = "",
                         const std::string& program = TEXTDEMO_CONSOLE_PROGRAM, const std::string& folder = "",
                         Shell shell = Shell::Script) {
        char pattern[] = "/tmp/textdemo-console-XXXXXX";
        dir_ = mkdtemp(pattern);
        socket_ = "textdemo-e2e-" + std::to_string(getpid()) + "-" + dir_.filename().string();
        if (archive.empty()) {
            fs::copy_file(show_archive_path(), dir_ / "ruk.salad");
        } else {
            std::ofstream(dir_ / "ruk.salad", std::ios::binary)
                .write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
        }
        const std::string go_to_folder = "cd '" + (folder.empty() ? dir_.string() : folder) + "'";
        const std::string start = "sh -c 'echo $$ > \"$0/pid.tmp\" && mv \"$0/pid.tmp\" \"$0/pid\" && exec \"$@\"' '" +
                                  dir_.string() + "' '" + program + "' " + arguments;
        std::ofstream script(dir_ / "run.sh");
        script << "cd '" << dir_.string() << "'\n"
               << "stty -g > modes_before\n"
               << "echo BEFORE-SHOW\n"
               << "(" << go_to_folder << " && " << start << ")\n"
               << "echo $? > rc.tmp && mv rc.tmp rc\n"
               << "stty -g > modes_after.tmp && mv modes_after.tmp modes_after\n"
               << "echo AFTER-SHOW\n"
               << "sleep 600\n";
        script.close();
        started_ = std::chrono::steady_clock::now();
        if (shell == Shell::Script) {
            tmux("new-session -d -x 80 -y 50 -s show 'sh " + (dir_ / "run.sh").string() + "'");
            return;
        }
        // The program must be the shell's job itself (no subshell), so the shell sees it stop.
        tmux("new-session -d -x 80 -y 50 -s show 'env PS1=\"$ \" bash --norc --noprofile -i'");
        type_line("cd '" + dir_.string() + "'; stty -g > modes_before; echo BEFORE-SHOW; " + go_to_folder + "; " + start);
    }

    // Types a line into the pane, Enter included.
    void type_line(const std::string& line) const {
        std::string quoted;
        for (const char c : line) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        tmux("send-keys -t show -l '" + quoted + "'");
        tmux("send-keys -t show Enter");
    }

    // Waits until the pane shows the main screen with its cursor and `text` on it.
    bool wait_for_main_screen_with(const std::string& text, std::chrono::seconds timeout) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (query("#{alternate_on} #{cursor_flag}") == "0 1" && capture(false).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    // Waits until the picture differs from what it was when called.
    bool wait_for_picture_to_move(std::chrono::seconds timeout) const {
        const std::string before = capture(true);
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(50ms);
            if (query("#{alternate_on}") == "1" && capture(true) != before) return true;
        }
        return false;
    }

    ~TerminalRun() {
        tmux("kill-server");
        fs::remove_all(dir_);
    }

    std::string tmux(const std::string& arguments) const {
        return shell_output("LC_ALL=C.UTF-8 tmux -u -f /dev/null -L " + socket_ + " " + arguments + " 2>&1");
    }
    std::string query(const std::string& format) const { return trimmed(tmux("display -p -t show '" + format + "'")); }
    std::string capture(bool colours) const { return tmux(std::string("capture-pane -p -t show") + (colours ? " -e -N" : "")); }

    // Waits for a file the script writes; "" after the timeout.
    std::string wait_for_file(const char* name, std::chrono::seconds timeout) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (fs::exists(dir_ / name)) return trimmed(read_file(dir_ / name));
            std::this_thread::sleep_for(50ms);
        }
        return "";
    }

    // Waits until the program shows its picture on the alternate screen; false at once when
    // it has ended before.
    bool wait_for_show(std::chrono::seconds timeout) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end && !fs::exists(dir_ / "rc")) {
            if (query("#{alternate_on}") == "1" && capture(true).find("\x1b[") != std::string::npos) {
                shown_at_ms_ = ms_since_start();
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    pid_t pid() const { return static_cast<pid_t>(std::stoi(wait_for_file("pid", 5s))); }
    std::uint32_t ms_since_start() const {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - started_)
                                              .count());
    }
    // When wait_for_show first saw the picture: the music started at most this long after
    // the start.
    std::uint32_t shown_at_ms() const { return shown_at_ms_; }
    const fs::path& dir() const { return dir_; }

private:
    mutable std::uint32_t shown_at_ms_ = 0;
    fs::path dir_;
    std::string socket_;
    std::chrono::steady_clock::time_point started_;
};

struct ShownCell {
    std::string text;
    int foreground = 39, background = 49;
};

// tmux's capture with colours: SGR sequences and UTF-8 characters, one line per row.
std::vector<ShownCell> parse_capture(const std::string& capture) {
    std::vector<ShownCell> cells;
    int foreground = 39, background = 49;
    std::size_t i = 0;
    while (i < capture.size()) {
        const char byte = capture[i];
        if (byte == '\n') {
            ++i;
            continue;
        }
        if (byte == '\x1b' && i + 1 < capture.size() && capture[i + 1] == '[') {
            const std::size_t end = capture.find('m', i);
            if (end == std::string::npos) break;
            std::stringstream params(capture.substr(i + 2, end - i - 2));
            std::string number;
            while (std::getline(params, number, ';')) {
                const int n = number.empty() ? 0 : std::stoi(number);
                if (n == 0) foreground = 39, background = 49;
                else if ((n >= 30 && n <= 39) || (n >= 90 && n <= 97)) foreground = n;
                else if ((n >= 40 && n <= 49) || (n >= 100 && n <= 107)) background = n;
            }
            i = end + 1;
            continue;
        }
        const auto lead = static_cast<unsigned char>(byte);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        cells.push_back({capture.substr(i, length), foreground, background});
        i += length;
    }
    return cells;
}

// Colours worked out by hand: console index bits are blue, green, red, intensity.
bool shows(const ShownCell& shown, ConsoleCell cell) {
    static const int ansi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    const int f = cell.attribute & 15, b = cell.attribute >> 4;
    return shown.foreground == (f < 8 ? 30 : 90) + ansi[f & 7] && shown.background == (b < 8 ? 40 : 100) + ansi[b & 7];
}

// The show drawn in this process from the same archive, one song position at a time.
class ShowFrames {
public:
    // Needs the show archive loaded (the fixture does that).
    ShowFrames() {
        force_silent_sound_output(true);
        load_music(music_player());
        build_timeline();
    }
    ~ShowFrames() {
        teardown_show();
        force_silent_sound_output(false);
    }

    bool matches(std::uint32_t position, const std::vector<ShownCell>& shown, const std::vector<std::string>& texts) {
        draw_song_frame(position);
        convert_frame_console(text_frame().pixels, cells_);
        for (int i = 0; i < FRAME_CELLS; ++i) {
            if (!shows(shown[i], cells_[i]) || shown[i].text != texts[cells_[i].character]) return false;
        }
        return true;
    }

private:
    ConsoleCell cells_[FRAME_CELLS];
};

// UTF-8 of every code page 437 character, written out here for the shade characters and
// taken from the display for the rest (only cell words use those).
std::vector<std::string> expected_texts() {
    std::vector<std::string> texts(256);
    for (int code = 0; code < 256; ++code) texts[code] = std::string(cp437_text(static_cast<std::uint8_t>(code), true));
    texts[32] = " ", texts[250] = "\xC2\xB7", texts[249] = "\xE2\x88\x99", texts[7] = "\xE2\x80\xA2";
    texts[43] = "+", texts[9] = "\xE2\x97\x8B", texts[79] = "O", texts[15] = "\xE2\x98\xBC", texts[233] = "\xCE\x98";
    return texts;
}

// Stops the program, lets tmux take in what it wrote, and asks shows_frame(shown cells,
// milliseconds since the run started) whether the terminal shows a frame it expects.
// Retries when the stop fell in the middle of a frame's write.
template <typename ShowsFrame>
void expect_shown_frame(const TerminalRun& run, ShowsFrame shows_frame, const char* what) {
    const pid_t pid = run.pid();
    for (int attempt = 0; attempt < 3; ++attempt) {
        kill(pid, SIGSTOP);
        const std::int64_t stopped_at = run.ms_since_start();
        std::this_thread::sleep_for(300ms);
        const std::vector<ShownCell> shown = parse_capture(run.capture(true));
        kill(pid, SIGCONT);
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(FRAME_CELLS)) << "the pane is not 80 x 50 cells";
        if (shows_frame(shown, stopped_at)) return;
        std::this_thread::sleep_for(200ms);
    }
    ADD_FAILURE() << "the terminal shows no " << what;
}

void expect_a_frame_of_the_show(const TerminalRun& run) {
    ShowFrames show;
    const std::vector<std::string> texts = expected_texts();
    expect_shown_frame(
        run,
        [&](const std::vector<ShownCell>& shown, std::int64_t stopped_at) {
            // The music played for about stopped_at - shown_at ms: look there first, then
            // further out, over every position it can have reached.
            const std::int64_t likely = stopped_at - run.shown_at_ms();
            const auto shows_frame_at = [&](std::int64_t position) {
                return position >= 0 && position <= stopped_at &&
                       show.matches(static_cast<std::uint32_t>(position), shown, texts);
            };
            for (std::int64_t distance = 0; distance <= stopped_at; ++distance) {
                if (shows_frame_at(likely - distance) || (distance > 0 && shows_frame_at(likely + distance))) return true;
            }
            return false;
        },
        "frame of the show's first seconds");
}

// Console frames of textdemo-capture (character code, attribute per cell) for song
// positions from..to, every step ms, effect state carrying over as in the programs.
std::vector<std::vector<ConsoleCell>> captured_frames(std::uint32_t from, std::uint32_t to, std::uint32_t step) {
    char pattern[] = "/tmp/textdemo-capture-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    const std::string command = "'" CAPTURE_EXECUTABLE "' --archive '" + show_archive_path() + "' --from " +
                                std::to_string(from) + " --to " + std::to_string(to) + " --step " +
                                std::to_string(step) + " --console '" + (dir / "frames").string() + "' 2>&1";
    const std::string output = shell_output(command);
    EXPECT_EQ(output, "") << command;
    const std::string bytes = read_file(dir / "frames");
    fs::remove_all(dir);
    std::vector<std::vector<ConsoleCell>> frames(bytes.size() / (2 * FRAME_CELLS));
    for (std::size_t f = 0; f < frames.size(); ++f) {
        for (int i = 0; i < FRAME_CELLS; ++i) {
            const std::size_t at = (f * FRAME_CELLS + static_cast<std::size_t>(i)) * 2;
            frames[f].push_back({static_cast<std::uint8_t>(bytes[at]), static_cast<std::uint8_t>(bytes[at + 1])});
        }
    }
    return frames;
}

bool shows_captured_frame(const std::vector<ShownCell>& shown, const std::vector<std::vector<ConsoleCell>>& frames) {
    static const std::vector<std::string> texts = expected_texts();
    for (const auto& frame : frames) {
        bool same = true;
        for (int i = 0; i < FRAME_CELLS && same; ++i)
            same = shows(shown[i], frame[i]) && shown[i].text == texts[frame[i].character];
        if (same) return true;
    }
    return false;
}

// Where slot `section` (1..9) of the show's timeline starts.
std::uint32_t section_start_ms(int section) {
    force_silent_sound_output(true);
    load_music(music_player());
    const std::uint32_t start = timeline_spans(pattern_data(), music_player().length)[section - 1].start_ms;
    release_music(music_player());
    release_pattern_data();
    force_silent_sound_output(false);
    return start;
}

// After the program has left: exit code, the same terminal modes, main screen with what was
// there before, visible cursor, default colours for what follows; and, on a machine without
// a sound device, no line of the audio libraries and one line about the silent music.
void expect_terminal_given_back(const TerminalRun& run, const std::string& expected_rc) {
    EXPECT_EQ(run.wait_for_file("rc", 30s), expected_rc);
    ASSERT_FALSE(run.wait_for_file("modes_after", 5s).empty());
    EXPECT_EQ(read_file(run.dir() / "modes_after"), read_file(run.dir() / "modes_before"));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(run.query("#{alternate_on} #{cursor_flag}"), "0 1");
    const std::string screen = run.capture(true);
    EXPECT_NE(screen.find("BEFORE-SHOW"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\nAFTER-SHOW\n"), std::string::npos) << screen;  // no colour codes around it
    EXPECT_EQ(screen.find("ALSA lib"), std::string::npos) << screen;
    const std::size_t silent = screen.find("plays silently");
    EXPECT_TRUE(silent == std::string::npos || screen.find("plays silently", silent + 1) == std::string::npos) << screen;
}

class ConsoleTerminal : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(show_archive_path())) GTEST_SKIP() << "no show archive at " << show_archive_path();
        if (shell_output("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
        release_resource_archive();
        set_archive_path(show_archive_path());
        for (const char* name : {"ruk.mp3", "patterndata.bin"}) {
            if (!lookup_resource(resource_archive(), name)) GTEST_SKIP() << "the show archive has no " << name << " yet";
        }
    }
    void TearDown() override { release_resource_archive(); }
};

TEST_F(ConsoleTerminal, EscapeEndsTheShowAndGivesTheTerminalBack) {
    TerminalRun run;
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    EXPECT_EQ(run.query("#{pane_title}"), CONSOLE_TITLE);
    EXPECT_EQ(run.query("#{cursor_flag}"), "0");
    expect_a_frame_of_the_show(run);
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// Stopped from outside, the show gives the terminal back before the shell says "Stopped";
// `fg` brings the picture back moving, and Escape still ends it.
TEST_F(ConsoleTerminal, StopFromOutsideAndResumeWithFg) {
    TerminalRun run({}, "", TEXTDEMO_CONSOLE_PROGRAM, "", Shell::Interactive);
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    kill(run.pid(), SIGTSTP);
    ASSERT_TRUE(run.wait_for_main_screen_with("Stopped", 10s)) << run.capture(false);
    run.type_line("fg; echo $? > rc.tmp; mv rc.tmp rc; stty -g > modes_after.tmp; mv modes_after.tmp modes_after; echo AFTER-SHOW");
    EXPECT_TRUE(run.wait_for_picture_to_move(10s)) << run.capture(false);
    EXPECT_EQ(run.query("#{cursor_flag}"), "0");
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// Alt+Shift+P, Alt+] and Alt+_ look like the starts of terminal reply strings; Escape must
// still end the show after them.
TEST_F(ConsoleTerminal, EscapeWorksAfterAltKeysThatLookLikeReplies) {
    TerminalRun run;
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    for (const char* key : {"M-P", "M-]", "M-_"}) {
        run.tmux(std::string("send-keys -t show ") + key);
        std::this_thread::sleep_for(100ms);
    }
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

TEST_F(ConsoleTerminal, InterruptEndsTheShowThroughTeardown) {
    TerminalRun run;
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    kill(run.pid(), SIGINT);
    expect_terminal_given_back(run, "0");
}

// Only the music and the pattern dump: the first effect's image is missing, a fatal error
// deep inside build_timeline, after the terminal was taken over.
TEST_F(ConsoleTerminal, FatalErrorGivesTheTerminalBackAndShowsItsMessage) {
    std::vector<PackItem> items;
    for (const char* name : {"ruk.mp3", "patterndata.bin"}) {
        const ResourceEntry* entry = lookup_resource(resource_archive(), name);
        items.push_back({name, std::vector<std::uint8_t>(entry->data, entry->data + entry->size)});
    }
    release_resource_archive();
    std::vector<std::uint8_t> archive;
    ASSERT_EQ(build_archive(items, false, archive), "");

    TerminalRun run(archive);
    expect_terminal_given_back(run, "255");
    const std::string screen = run.capture(false);
    EXPECT_NE(screen.find("resource \""), std::string::npos) << screen;
    EXPECT_NE(screen.find("\" not found\nAFTER-SHOW"), std::string::npos) << screen;
}

// Without a terminal on standard output the program says so on standard error and stops
// before reading anything (here there is no archive at all) or writing to standard output.
TEST(ConsoleWithoutTerminal, SaysSoAndExitsNonZero) {
    char pattern[] = "/tmp/textdemo-console-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    const std::string rc = shell_output("cd '" + dir.string() + "' && '" TEXTDEMO_CONSOLE_PROGRAM "' > out 2> err < /dev/null; echo $?");
    EXPECT_EQ(trimmed(rc), "1");
    EXPECT_EQ(read_file(dir / "out"), "");
    EXPECT_EQ(read_file(dir / "err"), "textdemo-console: standard output is not a terminal\n");
    fs::remove_all(dir);
}

// --section 9 starts at the closing scene. Its background drifts a step with every frame
// it draws and the object is still out of view in its first seconds, so the terminal must
// show what textdemo-capture draws from the section's start after as many frames.
TEST_F(ConsoleTerminal, SectionNineStartsAtTheClosingScene) {
    const std::uint32_t start = section_start_ms(9);
    TerminalRun run({}, "--section 9");
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    expect_shown_frame(
        run,
        [&](const std::vector<ShownCell>& shown, std::int64_t stopped_at) {
            // The program drew at most one frame per 16 ms since it was started.
            const auto frames = static_cast<std::uint32_t>(stopped_at / FRAME_PERIOD_MS + 1);
            return shows_captured_frame(shown, captured_frames(start, start + frames * FRAME_PERIOD_MS, FRAME_PERIOD_MS));
        },
        "frame of the closing scene's start");
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// --start 1:40 shows the show from 100 s on; these effects draw from the position alone, so
// the terminal shows textdemo-capture's frame of some position the music has reached.
TEST_F(ConsoleTerminal, StartAtOneFortyShowsTheShowFromThere) {
    constexpr std::uint32_t START = 100000;
    TerminalRun run({}, "--start 1:40");
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    expect_shown_frame(
        run,
        [&](const std::vector<ShownCell>& shown, std::int64_t stopped_at) {
            // The music played at least stopped_at - shown_at ms (it started before the picture
            // was seen) and at most stopped_at; the frame shown is up to one frame older.
            const std::int64_t least = std::max<std::int64_t>(0, stopped_at - run.shown_at_ms() - 100);
            return shows_captured_frame(shown, captured_frames(START + static_cast<std::uint32_t>(least),
                                                               START + static_cast<std::uint32_t>(stopped_at), 1));
        },
        "frame of the show from 1:40 on");
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// A start past the music's end is refused once the music is loaded, before the terminal is
// taken over: one line, exit code 2, the terminal as it was.
TEST_F(ConsoleTerminal, StartPastTheMusicsEndIsRefusedWithOneLine) {
    TerminalRun run({}, "--start 59:00");
    expect_terminal_given_back(run, "2");
    const std::string screen = run.capture(false);
    const std::string line = "textdemo-console: --start 59:00.000 lies past the music's end at ";
    const std::size_t at = screen.find("\n" + line);
    ASSERT_NE(at, std::string::npos) << screen;
    EXPECT_LT(screen.find("BEFORE-SHOW\n"), at) << screen;
    const std::size_t end = screen.find('\n', at + 1);
    EXPECT_EQ(screen.substr(end, 12), "\nAFTER-SHOW\n") << screen;
}

// `cmake --install` to a prefix of its own: the console program plays the show from the root
// folder, where no archive lies, and every program's man page reads.
TEST_F(ConsoleTerminal, InstalledProgramPlaysFromAnyFolderAndItsManPagesRead) {
    char pattern[] = "/tmp/textdemo-prefix-XXXXXX";
    const fs::path prefix = mkdtemp(pattern);
    const std::string installed =
        shell_output("'" CMAKE_COMMAND_PATH "' --install '" TEXTDEMO_BUILD_DIR "' --prefix '" + prefix.string() + "' 2>&1; echo rc=$?");
    ASSERT_NE(installed.find("rc=0"), std::string::npos) << installed;
    EXPECT_TRUE(fs::exists(prefix / "share/textdemo/ruk.salad"));
    for (const char* program : {"textdemo-console", "textdemo-gl", "salad", "textdemo-capture"}) {
        EXPECT_TRUE(fs::exists(prefix / "bin" / program)) << program;
        const fs::path page = prefix / "share/man/man1" / (std::string(program) + ".1.gz");
        const std::string text = shell_output("MANWIDTH=80 man -l '" + page.string() + "' 2>&1");
        EXPECT_NE(text.find("NAME\n       " + std::string(program) + " - "), std::string::npos) << text;
    }
    {
        TerminalRun run({}, "", (prefix / "bin/textdemo-console").string(), "/");
        ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
        expect_a_frame_of_the_show(run);
        run.tmux("send-keys -t show Escape");
        expect_terminal_given_back(run, "0");
    }
    fs::remove_all(prefix);
}

}  // namespace
