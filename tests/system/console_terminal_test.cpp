// End to end: textdemo-console in a real terminal, a detached tmux session the test makes
// itself, at several sizes and resized during the show. What the terminal shows must be a
// frame of the show in the layout its size calls for, worked out here: native frames are
// drawn again in this process from the same archive, half frames are computed from
// textdemo-capture's cells with the palette and the ink measured from the glyph image.
// --section and --start are checked against textdemo-capture's frames of those positions.
// Every way out must give the terminal back: exit code, terminal modes, main screen,
// visible cursor, default colours. A stop from outside gives it back too, and `fg` takes
// it again. Stop signals end the show through teardown and then kill the program (the
// shell sees 128 + n), also when the terminal has stopped reading, and a frame whose write
// they cut is finished first; every other signal that kills gives the terminal back first.
//
// Needs the show archive (TEXTDEMO_SHOW_ARCHIVE, else the one the build packs) and tmux;
// skipped without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "display/console/console_display.hpp"
#include "display/console/cp437.hpp"
#include "frame/convert.hpp"
#include "resources/archive.hpp"
#include "resources/archive_writer.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "show/timeline.hpp"
#include "song/music_player.hpp"
#include "song/pattern_data.hpp"
#include "song/sound_layer.hpp"
#include "tests/support/console_sequences.hpp"
#include "tests/support/pty_program.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/terminal_model.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace textdemo;
using test::TerminalModel;
using test::show_archive_path;

namespace {

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
    std::ifstream in(path, std::ios::binary);
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

struct RunSettings {
    int columns = 80, rows = 50;
    std::string environment = "TERM=screen COLORTERM=";  // arguments of env(1) for the program
    std::string arguments;                               // of the program, quoted for the shell
    std::vector<std::uint8_t> archive;                   // ruk.salad in the run's folder; empty: the show's
    std::string program = TEXTDEMO_CONSOLE_PROGRAM;
    std::string folder;                                  // where it runs; empty: the run's folder
    Shell shell = Shell::Script;
};

// A pane of columns x rows whose terminal says, through COLORTERM, it takes 24-bit colour.
RunSettings truecolour_pane(int columns, int rows, const char* colorterm = "truecolor") {
    RunSettings settings;
    settings.columns = columns, settings.rows = rows;
    settings.environment = std::string("TERM=screen COLORTERM=") + colorterm;
    return settings;
}

// The program in a tmux session of its own, started by a script that records the terminal
// modes before and after, the program's pid and its exit code, and then keeps the pane.
class TerminalRun {
public:
    explicit TerminalRun(const RunSettings& settings) : rows_(settings.rows), columns_(settings.columns) {
        char pattern[] = "/tmp/textdemo-console-XXXXXX";
        dir_ = mkdtemp(pattern);
        socket_ = "textdemo-e2e-" + std::to_string(getpid()) + "-" + dir_.filename().string();
        if (settings.archive.empty()) {
            fs::copy_file(show_archive_path(), dir_ / "ruk.salad");
        } else {
            std::ofstream(dir_ / "ruk.salad", std::ios::binary)
                .write(reinterpret_cast<const char*>(settings.archive.data()),
                       static_cast<std::streamsize>(settings.archive.size()));
        }
        const std::string go_to_folder = "cd '" + (settings.folder.empty() ? dir_.string() : settings.folder) + "'";
        const std::string start = "sh -c 'echo $$ > \"$0/pid.tmp\" && mv \"$0/pid.tmp\" \"$0/pid\" && exec env " +
                                  settings.environment + " \"$@\"' '" + dir_.string() + "' '" + settings.program + "' " +
                                  settings.arguments;
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
        const std::string session = "new-session -d -x " + std::to_string(columns_) + " -y " + std::to_string(rows_) + " -s show ";
        if (settings.shell == Shell::Script) {
            tmux(session + "'sh " + (dir_ / "run.sh").string() + "'");
        } else {
            // The program must be the shell's job itself (no subshell), so the shell sees it stop.
            tmux(session + "'env PS1=\"$ \" bash --norc --noprofile -i'");
            type_line("cd '" + dir_.string() + "'; stty -g > modes_before; echo BEFORE-SHOW; " + go_to_folder + "; " + start);
        }
        socket_path_ = query("#{socket_path}");
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

    // The server leaves its socket file behind when killed.
    ~TerminalRun() {
        tmux("kill-server");
        if (!socket_path_.empty()) fs::remove(socket_path_);
        fs::remove_all(dir_);
    }

    std::string tmux(const std::string& arguments) const {
        return shell_output("LC_ALL=C.UTF-8 tmux -u -f /dev/null -L " + socket_ + " " + arguments + " 2>&1");
    }
    std::string query(const std::string& format) const { return trimmed(tmux("display -p -t show '" + format + "'")); }
    std::string capture(bool colours) const { return tmux(std::string("capture-pane -p -t show") + (colours ? " -e -N" : "")); }

    void resize(int columns, int rows) {
        columns_ = columns;
        rows_ = rows;
        tmux("resize-window -t show -x " + std::to_string(columns) + " -y " + std::to_string(rows));
    }
    int rows() const { return rows_; }
    int columns() const { return columns_; }

    // What the pane shows, read once tmux has taken in everything written (two captures
    // alike in a row).
    TerminalModel screen() const {
        std::string last = capture(true);
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(50ms);
            const std::string now = capture(true);
            if (now == last) break;
            last = now;
        }
        TerminalModel model(rows_, columns_);
        model.apply_capture(last);
        return model;
    }

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
    std::int64_t ms_since_start() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_).count();
    }
    // When wait_for_show first saw the picture: the music started at most this long after
    // the start.
    std::int64_t shown_at_ms() const { return shown_at_ms_; }
    const fs::path& dir() const { return dir_; }

private:
    int rows_, columns_;
    mutable std::int64_t shown_at_ms_ = 0;
    fs::path dir_;
    std::string socket_, socket_path_;
    std::chrono::steady_clock::time_point started_;
};

// One terminal cell as it should look: its character, background and (unless the
// character is a space) foreground, as model colours.
struct ExpectedCell {
    std::string text = " ";
    int foreground = test::model_default(), background = test::model_default();
};
using ExpectedScreen = std::vector<ExpectedCell>;

// Black spaces the erase left (margins, and picture cells that needed no writing): tmux
// leaves them out of its capture at the end of a line, where they read as blanks of the
// default background.
bool erased_black(const TerminalModel& model, std::size_t i, const ExpectedCell& e) {
    const bool black = e.background == test::model_ansi(0) || e.background == test::model_rgb(0, 0, 0);
    if (!black || e.text != " ") return false;
    const std::size_t line_end = (i / model.columns + 1) * model.columns;
    for (std::size_t j = i; j < line_end; ++j)
        if (model.text[j] != " " || model.background[j] != test::model_default()) return false;
    return true;
}

bool shows(const TerminalModel& model, const ExpectedScreen& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ExpectedCell& e = expected[i];
        const bool background = model.background[i] == e.background || erased_black(model, i, e);
        if (model.text[i] != e.text || !background) return false;
        if (e.text != " " && model.foreground[i] != e.foreground) return false;
    }
    return true;
}

// The same for half blocks, but each of a cell's two pixels (the upper one in the
// foreground where the cell is a half block) may be off by up to `tolerance` per channel of
// a 24-bit colour: an averaged picture holds back changes too small to see, so two pixels
// may also share a colour (a space) where their exact ones differ, or the other way round.
bool shows_half_blocks(const TerminalModel& model, const ExpectedScreen& expected, int tolerance) {
    constexpr std::string_view HALF_BLOCK = "\xE2\x96\x80";
    const auto near = [&](int shown_colour, int wanted_colour) {
        // The program sends a 24-bit colour that an index of 16..255 shows as the index.
        const int shown = test::model_as_rgb(shown_colour), wanted = test::model_as_rgb(wanted_colour);
        if (shown == wanted) return true;
        if ((shown >> 24) != 1 || (wanted >> 24) != 1) return false;  // not both 24-bit
        for (int shift = 0; shift <= 16; shift += 8)
            if (std::abs(((shown >> shift) & 255) - ((wanted >> shift) & 255)) > tolerance) return false;
        return true;
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ExpectedCell& e = expected[i];
        if (erased_black(model, i, e)) continue;
        if (e.text != " " && e.text != HALF_BLOCK) return false;
        if (model.text[i] != " " && model.text[i] != HALF_BLOCK) return false;
        const int upper = model.text[i] == HALF_BLOCK ? model.foreground[i] : model.background[i];
        const int wanted_upper = e.text == HALF_BLOCK ? e.foreground : e.background;
        if (!near(upper, wanted_upper) || !near(model.background[i], e.background)) return false;
    }
    return true;
}

// The window palette in bytes, by hand, and the console's ANSI numbering of it.
const int kPaletteRgb[16][3] = {{0, 0, 0},       {0, 0, 128},     {0, 128, 0},     {0, 128, 128},
                                {128, 0, 0},     {128, 0, 128},   {128, 128, 0},   {191, 191, 191},
                                {128, 128, 128}, {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
                                {255, 0, 0},     {255, 0, 255},   {255, 255, 0},   {255, 255, 255}};
const int kAnsiOf[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

int palette_model_colour(int index, bool truecolour) {
    const int* p = kPaletteRgb[index];
    return truecolour ? test::model_rgb(p[0], p[1], p[2]) : test::model_ansi(kAnsiOf[index]);
}

// UTF-8 of every code page 437 character, written out here for the shade characters and
// taken from the display for the rest (only cell words use those).
std::vector<std::string> expected_texts() {
    std::vector<std::string> texts(256);
    for (int code = 0; code < 256; ++code) texts[code] = std::string(cp437_text(static_cast<std::uint8_t>(code), true));
    texts[32] = " ", texts[250] = "\xC2\xB7", texts[249] = "\xE2\x88\x99", texts[7] = "\xE2\x80\xA2";
    texts[43] = "+", texts[9] = "\xE2\x97\x8B", texts[79] = "O", texts[15] = "\xE2\x98\xBC", texts[233] = "\xCE\x98";
    return texts;
}

// The native picture centred in the terminal, from the console cells of a frame.
ExpectedScreen native_screen(const ConsoleCell* cells, int rows, int columns, bool truecolour) {
    static const std::vector<std::string> texts = expected_texts();
    // Margins in the picture's black.
    ExpectedScreen screen(static_cast<std::size_t>(rows * columns),
                          {" ", test::model_default(), palette_model_colour(0, truecolour)});
    const int top = (rows - 50) / 2, left = (columns - 80) / 2;
    for (int i = 0; i < FRAME_CELLS; ++i) {
        const ConsoleCell cell = cells[i];
        screen[(top + i / 80) * columns + left + i % 80] = {texts[cell.character], palette_model_colour(cell.attribute & 15, truecolour),
                                                            palette_model_colour(cell.attribute >> 4, truecolour)};
    }
    return screen;
}

struct Colour {
    int red, green, blue;
    bool operator==(const Colour&) const = default;
};

// The half picture centred in the terminal, from the window cells (attribute, glyph) of a
// frame: each cell the rounded linear mix of its palette colours by its glyph's ink, the
// picture area-averaged to the size the terminal allows, two pixels a cell.
ExpectedScreen half_screen(const std::uint8_t* cells, const std::uint32_t (&ink)[16], int rows, int columns) {
    constexpr int FULL = 64 * 255;
    std::vector<Colour> mixes(FRAME_CELLS);
    for (int i = 0; i < FRAME_CELLS; ++i) {
        const int attribute = cells[2 * i], glyph = cells[2 * i + 1] & 15;
        const int* fg = kPaletteRgb[attribute & 15];
        const int* bg = kPaletteRgb[attribute >> 4];
        const int a = static_cast<int>(ink[glyph]);
        int c[3];
        for (int k = 0; k < 3; ++k) c[k] = (bg[k] * (FULL - a) + fg[k] * a + FULL / 2) / FULL;
        mixes[i] = {c[0], c[1], c[2]};
    }
    // 80 x 25 cells where they fit, else the largest 8 : 5 picture, rounded.
    int width = 80, height = 50;
    if (columns < 80 || rows < 25) {
        if (columns * 5 <= rows * 16) width = columns, height = 2 * ((columns * 5 + 8) / 16);
        else height = 2 * rows, width = (rows * 16 + 2) / 5;
    }
    // Overlap of [a0, a1) and [b0, b1), all in units of 1/(target size) of a frame cell.
    const auto overlap = [](long a0, long a1, long b0, long b1) { return std::max(0L, std::min(a1, b1) - std::max(a0, b0)); };
    std::vector<Colour> picture(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            long sum[3] = {0, 0, 0};
            for (int sy = y * 50 / height; sy * height < (y + 1) * 50; ++sy) {
                const long wy = overlap(sy * height, (sy + 1) * height, y * 50, (y + 1) * 50);
                for (int sx = x * 80 / width; sx * width < (x + 1) * 80; ++sx) {
                    const long w = wy * overlap(sx * width, (sx + 1) * width, x * 80, (x + 1) * 80);
                    const Colour& c = mixes[sy * 80 + sx];
                    sum[0] += w * c.red, sum[1] += w * c.green, sum[2] += w * c.blue;
                }
            }
            picture[y * width + x] = {static_cast<int>((sum[0] + 2000) / 4000), static_cast<int>((sum[1] + 2000) / 4000),
                                      static_cast<int>((sum[2] + 2000) / 4000)};
        }
    ExpectedScreen screen(static_cast<std::size_t>(rows * columns),
                          {" ", test::model_default(), test::model_rgb(0, 0, 0)});
    const int top = (rows - height / 2) / 2, left = (columns - width) / 2;
    for (int r = 0; r < height / 2; ++r)
        for (int c = 0; c < width; ++c) {
            const Colour up = picture[2 * r * width + c], down = picture[(2 * r + 1) * width + c];
            ExpectedCell& cell = screen[(top + r) * columns + left + c];
            cell.text = up == down ? " " : "\xE2\x96\x80";
            cell.foreground = test::model_rgb(up.red, up.green, up.blue);
            cell.background = test::model_rgb(down.red, down.green, down.blue);
        }
    return screen;
}

// The ink of the 16 glyphs measured from the glyph image: glyph g is the 8 x 8 pixels at
// x = 8g, y = 0, each inking by its grey level (the blue byte, the window's alpha).
void measure_ink(std::uint32_t (&ink)[16]) {
    Image font;
    EXPECT_EQ(load_image(font, "textmodechars.png").message, "");
    for (int g = 0; g < 16; ++g) {
        ink[g] = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) ink[g] += font.pixels[static_cast<std::size_t>(y * font.width + 8 * g + x)] & 0xFF;
    }
}

// The show's frames in this process, from the same archive, one song position at a time
// (native), and the half layout's frames computed from textdemo-capture's cells.
class ShowFrames {
public:
    ShowFrames() {
        EXPECT_EQ(build_headless_show().message, "");
        measure_ink(ink_);
    }
    ~ShowFrames() { EXPECT_EQ(end_headless_show().message, ""); }

    ExpectedScreen native(std::uint32_t position, int rows, int columns, bool truecolour) {
        draw_song_frame(position);
        convert_frame_console(text_frame().pixels, console_);
        return native_screen(console_, rows, columns, truecolour);
    }

    // Half frames of every millisecond in [from, to], rendered by textdemo-capture.
    std::function<ExpectedScreen(std::uint32_t)> half(const fs::path& dir, std::uint32_t from, std::uint32_t to,
                                                      int rows, int columns) {
        const fs::path cells = dir / "cells.bin";
        const std::string command = "'" CAPTURE_EXECUTABLE "' --archive '" + (dir / "ruk.salad").string() +
                                    "' --from " + std::to_string(from) + " --to " + std::to_string(to) +
                                    " --step 1 --cells '" + cells.string() + "' 2>&1";
        const std::string output = shell_output(command);
        auto bytes = std::make_shared<std::string>(read_file(cells));
        EXPECT_EQ(bytes->size(), static_cast<std::size_t>(to - from + 1) * FRAME_CELLS * 2) << output;
        fs::remove(cells);
        return [this, bytes, from, rows, columns](std::uint32_t position) {
            const std::size_t at = static_cast<std::size_t>(position - from) * FRAME_CELLS * 2;
            if (at + FRAME_CELLS * 2 > bytes->size()) return ExpectedScreen{};
            return half_screen(reinterpret_cast<const std::uint8_t*>(bytes->data()) + at, ink_, rows, columns);
        };
    }

private:
    ConsoleCell console_[FRAME_CELLS];
    std::uint32_t ink_[16];
};

// Stops the program, reads the pane once tmux has taken in everything, and asks
// shows_frame(screen, milliseconds since the run started) whether the terminal shows a
// frame it expects. Retries when the stop fell in the middle of a frame's write.
template <typename ShowsFrame>
void expect_shown_frame(const TerminalRun& run, ShowsFrame shows_frame, const char* what) {
    const pid_t pid = run.pid();
    for (int attempt = 0; attempt < 3; ++attempt) {
        kill(pid, SIGSTOP);
        const std::int64_t stopped_at = run.ms_since_start();
        const TerminalModel model = run.screen();
        kill(pid, SIGCONT);
        if (::testing::Test::HasFailure() || shows_frame(model, stopped_at)) return;
    }
    ADD_FAILURE() << "the terminal shows no " << what;
}

enum class Layout { Native, Half };

// A frame of the show's first seconds in the layout expected, all over the terminal. The
// music played for about stopped_at - shown_at ms: that position is tried first, then
// further out, over every position it can have reached (half: within a window around it).
void expect_a_frame_of_the_show(const TerminalRun& run, ShowFrames& show, Layout layout, bool truecolour) {
    expect_shown_frame(
        run,
        [&](const TerminalModel& model, std::int64_t stopped_at) {
            const std::int64_t likely = stopped_at - run.shown_at_ms();
            std::function<ExpectedScreen(std::uint32_t)> frame_at;
            std::int64_t low = 0, high = stopped_at;
            if (layout == Layout::Native) {
                frame_at = [&](std::uint32_t p) { return show.native(p, run.rows(), run.columns(), truecolour); };
            } else {
                low = std::max<std::int64_t>(0, likely - 1000), high = std::min(stopped_at, likely + 1500);
                frame_at = show.half(run.dir(), static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(high),
                                     run.rows(), run.columns());
            }
            // A picture averaged down holds back colour changes of up to 8 per channel.
            const bool averaged = run.columns() < 80 || run.rows() < 25;
            const auto shows_frame_at = [&](std::int64_t position) {
                if (position < low || position > high) return false;
                const ExpectedScreen frame = frame_at(static_cast<std::uint32_t>(position));
                return layout == Layout::Native ? shows(model, frame) : shows_half_blocks(model, frame, averaged ? 8 : 0);
            };
            for (std::int64_t distance = 0; distance <= high - low; ++distance) {
                if (shows_frame_at(likely - distance) || (distance > 0 && shows_frame_at(likely + distance))) return true;
            }
            return false;
        },
        "frame of the show's first seconds");
}

// Once the show is on screen: a frame of it in 24-bit colour and the layout expected.
void expect_show_in_layout(const TerminalRun& run, ShowFrames& show, Layout layout) {
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    expect_a_frame_of_the_show(run, show, layout, true);
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

// One of the frames, native in 80 x 50 cells and 16 colours.
bool shows_captured_frame(const TerminalModel& model, const std::vector<std::vector<ConsoleCell>>& frames) {
    for (const auto& frame : frames)
        if (shows(model, native_screen(frame.data(), FRAME_HEIGHT, FRAME_WIDTH, false))) return true;
    return false;
}

// Where slot `section` (1..9) of the show's timeline starts.
std::uint32_t section_start_ms(int section) {
    force_silent_sound_output(true);
    EXPECT_FALSE(load_resource_archive());
    EXPECT_FALSE(open_music_player(music_player()));
    EXPECT_FALSE(load_music(music_player()));
    EXPECT_FALSE(load_pattern_data());
    const std::uint32_t start = timeline_spans(pattern_data(), music_player().length)[section - 1].start_ms;
    EXPECT_FALSE(release_music(music_player()));
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
    EXPECT_TRUE(run.wait_for_main_screen_with("AFTER-SHOW", 10s)) << run.capture(false);
    const std::string screen = run.capture(true);
    EXPECT_NE(screen.find("BEFORE-SHOW"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\nAFTER-SHOW\n"), std::string::npos) << screen;  // no colour codes around it
    EXPECT_EQ(screen.find("ALSA lib"), std::string::npos) << screen;
    const std::size_t silent = screen.find("plays silently");
    EXPECT_TRUE(silent == std::string::npos || screen.find("plays silently", silent + 1) == std::string::npos) << screen;
}

// textdemo-console started with `arguments`: once the show is on screen,
// shows(run, screen, ms since the run started) must accept the picture; then Escape ends
// the show and the terminal is given back.
template <typename Shows>
void expect_started_show(const char* arguments, Shows shows, const char* what) {
    RunSettings settings;
    settings.arguments = arguments;
    TerminalRun run(settings);
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    expect_shown_frame(
        run, [&](const TerminalModel& model, std::int64_t stopped_at) { return shows(run, model, stopped_at); }, what);
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

class ConsoleTerminal : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(show_archive_path())) << "no show archive at " << show_archive_path();
        ASSERT_FALSE(shell_output("command -v tmux").empty()) << "tmux is not installed";
        release_resource_archive();
        set_archive_path(show_archive_path());
        ASSERT_EQ(load_resource_archive().message, "");
        for (const char* name : {"ruk.mp3", "patterndata.bin", "textmodechars.png"})
            ASSERT_TRUE(lookup_resource(resource_archive(), name)) << "the show archive has no " << name;
    }
    void TearDown() override { release_resource_archive(); }
};

TEST_F(ConsoleTerminal, EscapeEndsTheShowAndGivesTheTerminalBack) {
    RunSettings settings;
    settings.environment = "TERM=xterm-256color COLORTERM=truecolor";
    settings.arguments = "--colors 16 --layout native";
    TerminalRun run(settings);
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    EXPECT_EQ(run.query("#{pane_title}"), CONSOLE_TITLE);
    EXPECT_EQ(run.query("#{cursor_flag}"), "0");
    ShowFrames show;
    expect_a_frame_of_the_show(run, show, Layout::Native, false);
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// Another program writing to the terminal leaves its text wherever the show's cells stay
// the same; Ctrl+L clears the screen and repaints the whole picture.
TEST_F(ConsoleTerminal, CtrlLRepaintsAScreenOthersWroteOver) {
    RunSettings settings = truecolour_pane(80, 50);
    settings.arguments = "--layout native";
    TerminalRun run(settings);
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    {
        std::ofstream other(run.query("#{pane_tty}"), std::ios::binary);
        ASSERT_TRUE(other.is_open());
        std::string garbage = "\x1b[0m";
        for (int row = 1; row <= 50; ++row) garbage += "\x1b[" + std::to_string(row) + ";1H" + std::string(80, 'X');
        other << garbage << std::flush;
    }
    std::this_thread::sleep_for(300ms);
    ASSERT_NE(run.capture(false).find('X'), std::string::npos) << "the show drew over every cell by itself";
    run.tmux("send-keys -t show C-l");
    std::this_thread::sleep_for(300ms);
    // Read without stopping the show: a stop and resume repaints by itself.
    EXPECT_EQ(run.capture(false).find('X'), std::string::npos) << run.capture(false);
    ShowFrames show;
    expect_a_frame_of_the_show(run, show, Layout::Native, true);
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// Stopped from outside, the show gives the terminal back before the shell says "Stopped";
// `fg` brings the picture back moving, and Escape still ends it.
TEST_F(ConsoleTerminal, StopFromOutsideAndResumeWithFg) {
    RunSettings settings;
    settings.shell = Shell::Interactive;
    TerminalRun run(settings);
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
    TerminalRun run(RunSettings{});
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    // Apart, so that each reaches the program in a read of its own, as a person types them.
    for (const char* key : {"M-P", "M-]", "M-_"}) {
        run.tmux(std::string("send-keys -t show ") + key);
        std::this_thread::sleep_for(100ms);
    }
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// One write of 4,095 bytes and then Alt+x (ESC x): the per-frame read stops at 4,096 bytes,
// between the ESC and the x, which must not make the ESC the Escape key.
TEST_F(ConsoleTerminal, EscapeCutAtTheEndOfAFullReadDoesNotEndTheShow) {
    TerminalRun run(RunSettings{});
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    std::string bytes;
    for (int i = 0; i < 4095; ++i) bytes += " 61";
    run.tmux("send-keys -t show -H" + bytes + " 1b 78");
    EXPECT_EQ(run.wait_for_file("rc", 2s), "") << "the show ended";
    run.tmux("send-keys -t show Escape");
    expect_terminal_given_back(run, "0");
}

// Interrupt, terminate and hang-up end the show through teardown, then the program dies of
// the signal, so the shell can tell an interrupted show from a finished one.
TEST_F(ConsoleTerminal, StopSignalsEndTheShowThroughTeardownThenKillIt) {
    for (const auto& [signal_number, rc] : {std::pair{SIGINT, "130"}, {SIGTERM, "143"}, {SIGHUP, "129"}}) {
        TerminalRun run(RunSettings{});
        ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
        kill(run.pid(), signal_number);
        expect_terminal_given_back(run, rc);
    }
}

// Signals whose default action kills (a user's, a CPU-time limit's) give the terminal back
// first: modes, main screen, cursor; then the program dies of them.
TEST_F(ConsoleTerminal, SignalsThatKillGiveTheTerminalBackFirst) {
    for (const auto& [signal_number, rc] : {std::pair{SIGUSR1, "138"}, {SIGXCPU, "152"}}) {
        TerminalRun run(RunSettings{});
        ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
        kill(run.pid(), signal_number);
        expect_terminal_given_back(run, rc);
    }
}

// The program in a pty pair of the test's own at 80 x 50, an xterm that answers nothing:
// read until frames flow, then (as an emulator that stopped) not at all for a second, so
// the program waits in the write of a frame when `signal_number` comes: sent by kill, or
// with `by_key` (SIGINT) as the terminal's Ctrl-C, the interrupt character through the tty.
class StalledTerminal {
public:
    explicit StalledTerminal(int signal_number, bool by_key = false) {
        winsize size{};
        size.ws_row = 50, size.ws_col = 80;
        if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
        tcgetattr(slave_, &before_);
        const std::string archive = show_archive_path();
        child_ = test::start_in_pty(master_, slave_,
                                    {"TERM=xterm-256color", "COLORTERM=truecolor", TEXTDEMO_CONSOLE_PROGRAM, "--archive",
                                     archive.c_str()});
        const auto give_up = std::chrono::steady_clock::now() + 60s;
        while (output.size() < 200000 && std::chrono::steady_clock::now() < give_up && !closed_) read_some(100ms);
        std::this_thread::sleep_for(1s);  // the pty's buffer is full: the program waits in write
        signalled_ = std::chrono::steady_clock::now();
        if (by_key) write(master_, &before_.c_cc[VINTR], 1);
        else kill(child_, signal_number);
    }
    ~StalledTerminal() {
        if (child_ > 0 && waitpid(child_, nullptr, WNOHANG) == 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    StalledTerminal(const StalledTerminal&) = delete;
    StalledTerminal& operator=(const StalledTerminal&) = delete;

    bool started() const { return child_ > 0; }
    // Appends what the program wrote within `wait` to `output`; false if nothing came.
    bool read_some(std::chrono::milliseconds wait) {
        pollfd readable{master_, POLLIN, 0};
        char bytes[65536];
        if (poll(&readable, 1, static_cast<int>(wait.count())) != 1) return false;
        const ssize_t got = read(master_, bytes, sizeof bytes);
        closed_ = got <= 0;
        if (closed_) return false;
        output.append(bytes, static_cast<std::size_t>(got));
        return true;
    }
    // Waits up to 10 s for the program to end: its wait status, and how long after the
    // signal it ended (checked again while `reading`, which keeps taking its output).
    std::pair<int, std::chrono::steady_clock::duration> wait_for_end(bool reading) {
        int status = 0;
        while (waitpid(child_, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() - signalled_ < 10s) {
            if (!reading || !read_some(20ms)) std::this_thread::sleep_for(20ms);
        }
        const auto took = std::chrono::steady_clock::now() - signalled_;
        if (waitpid(child_, &status, WNOHANG) == 0) {
            kill(child_, SIGKILL);
            waitpid(child_, &status, 0);
            ADD_FAILURE() << "still running 10 s after the signal";
        }
        child_ = -1;
        while (reading && read_some(200ms)) {
        }
        return {status, took};
    }
    void expect_modes_as_before() const {
        termios after{};
        ASSERT_EQ(tcgetattr(slave_, &after), 0);
        EXPECT_EQ(after.c_iflag, before_.c_iflag);
        EXPECT_EQ(after.c_oflag, before_.c_oflag);
        EXPECT_EQ(after.c_lflag, before_.c_lflag);
        EXPECT_EQ(std::memcmp(after.c_cc, before_.c_cc, sizeof after.c_cc), 0);
    }

    std::string output;  // all the program wrote that was read

private:
    int master_ = -1, slave_ = -1;
    pid_t child_ = -1;
    bool closed_ = false;  // the program's side of the pty has gone
    termios before_{};
    std::chrono::steady_clock::time_point signalled_;
};

// Where the escape sequences and UTF-8 characters of `bytes` are not all whole: the offset
// of the first one cut (an ESC inside a control sequence, a sequence or character left
// open at the end), or npos. Control sequences (ESC [), strings (ESC _ ... ESC \) and
// two-byte escapes are what the program sends.
std::size_t first_cut_sequence(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t start = i;
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0x1B) {
            if (++i == bytes.size()) return start;
            if (bytes[i] == '[') {
                while (++i < bytes.size() && bytes[i] >= 0x20 && bytes[i] <= 0x3F) {
                }
                if (i == bytes.size() || bytes[i] < 0x40 || bytes[i] > 0x7E) return start;
            } else if (bytes[i] == '_') {
                const std::size_t end = bytes.find("\x1b\\", i);
                if (end == std::string_view::npos) return start;
                i = end + 1;
            }
            ++i;
        } else if (byte >= 0x80) {
            const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
            if (length == 0 || start + length > bytes.size()) return start;
            for (i = start + 1; i < start + length; ++i)
                if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return start;
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

// A terminal whose emulator stopped reading: the show is blocked writing a frame when
// terminate comes, and still ends within 3 s, with the terminal's modes as they were.
TEST_F(ConsoleTerminal, ATerminalThatStopsReadingStillLetsTerminateEndTheShow) {
    StalledTerminal terminal(SIGTERM);
    ASSERT_TRUE(terminal.started());
    EXPECT_GE(terminal.output.size(), 200000u) << "the show never drew";
    const auto [status, took] = terminal.wait_for_end(false);
    EXPECT_LT(took, 3s);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    terminal.expect_modes_as_before();
}

// Ctrl-C while a frame's write waits on a terminal that reads again soon after: neither the
// tty (which would discard what it holds for the terminal) nor the program cuts the frame;
// it is finished before the terminal is given back, so no sequence is cut in two (kitty,
// for one, takes a cut picture's data for a broken command).
TEST_F(ConsoleTerminal, CtrlCWhileAFrameWaitsFinishesTheFrameBeforeTheGiveBack) {
    StalledTerminal terminal(SIGINT, true);
    ASSERT_TRUE(terminal.started());
    EXPECT_GE(terminal.output.size(), 200000u) << "the show never drew";
    std::this_thread::sleep_for(300ms);
    const auto [status, took] = terminal.wait_for_end(true);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    const std::string_view output = terminal.output;
    const std::size_t given_back = output.rfind(MAIN_SCREEN);
    ASSERT_NE(given_back, std::string_view::npos) << "never given back";
    EXPECT_EQ(first_cut_sequence(output), std::string_view::npos)
        << "cut at " << first_cut_sequence(output) << " of " << output.size() << " bytes";
    // Every frame has one end, its own, before the next frame or the give-back.
    std::size_t frames = 0;
    for (std::size_t start = output.find(FRAME_START); start < given_back; ++frames) {
        const std::size_t next = std::min(output.find(FRAME_START, start + 1), given_back);
        const std::string_view frame = output.substr(start, next - start);
        EXPECT_NE(frame.find(FRAME_END), std::string_view::npos) << "frame at " << start;
        EXPECT_EQ(frame.find(FRAME_END), frame.rfind(FRAME_END)) << "frame at " << start;
        start = next;
    }
    EXPECT_GT(frames, 0u);
    terminal.expect_modes_as_before();
}

// Only the music, the pattern dump and the glyph image: the first effect's image is
// missing, a fatal error deep inside build_timeline, after the terminal was taken over.
TEST_F(ConsoleTerminal, FatalErrorGivesTheTerminalBackAndShowsItsMessage) {
    RunSettings settings;
    std::vector<PackItem> items;
    for (const char* name : {"ruk.mp3", "patterndata.bin", "textmodechars.png"}) {
        const ResourceEntry* entry = lookup_resource(resource_archive(), name);
        items.push_back({name, std::vector<std::uint8_t>(entry->data, entry->data + entry->size)});
    }
    release_resource_archive();
    ASSERT_EQ(build_archive(items, false, settings.archive), "");

    TerminalRun run(settings);
    expect_terminal_given_back(run, "255");
    const std::string screen = run.capture(false);
    EXPECT_NE(screen.find("textdemo-console: resource \""), std::string::npos) << screen;
    EXPECT_EQ(screen.find("textmodechars.png"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\" not found\nAFTER-SHOW"), std::string::npos) << screen;
}

// In the usual 80 x 24 the whole picture is there in half blocks: 77 x 48 pixels, every
// frame row averaged in, with the exact colours of 24-bit mode. Checked once bright red
// shows, whose 255s make the mixes' rounding count (the first seconds mix only 0 and 128).
TEST_F(ConsoleTerminal, SmallTerminalShowsTheWholePictureInHalfBlocks) {
    TerminalRun run(truecolour_pane(80, 24));
    ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
    ShowFrames show;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (run.capture(true).find(";2;255;") == std::string::npos && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(100ms);
    expect_a_frame_of_the_show(run, show, Layout::Half, true);
}

// A larger terminal: asked for, the native picture in the middle, 10 black columns left and
// right, 5 black rows above and below, in the palette's exact colours. Left to auto, the
// half picture: tmux tells cells of 1 : 2 (16 x 32 pixels when no client is attached), on
// which native would be twice as tall as the window's picture.
TEST_F(ConsoleTerminal, LargeTerminalCentresTheNativePictureWhereAskedElseTheHalf) {
    {
        RunSettings settings = truecolour_pane(100, 60, "24bit");
        settings.arguments = "--layout native";
        TerminalRun run(settings);
        ShowFrames show;
        expect_show_in_layout(run, show, Layout::Native);
    }
    TerminalRun run(truecolour_pane(100, 60, "24bit"));
    ShowFrames show;
    expect_show_in_layout(run, show, Layout::Half);
}

TEST_F(ConsoleTerminal, WideTerminalCentresTheHalfPicture) {
    TerminalRun run(truecolour_pane(120, 30));
    ShowFrames show;
    expect_show_in_layout(run, show, Layout::Half);
}

// From 80 x 24 (half, 77 x 24 cells) to 100 x 60 (half, 80 x 25 in the middle) and back
// during the show: each time the whole screen becomes a frame of the new layout, with
// nothing left over from the old one.
TEST_F(ConsoleTerminal, ResizingMovesThePictureAndLeavesNoStaleCells) {
    TerminalRun run(truecolour_pane(80, 24));
    ShowFrames show;
    expect_show_in_layout(run, show, Layout::Half);
    const auto wait_for_top_row = [&](bool blank) {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end) {
            const std::string screen = run.capture(false);
            if ((screen.substr(0, screen.find('\n')).find_first_not_of(' ') == std::string::npos) == blank) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    };
    run.resize(100, 60);
    ASSERT_TRUE(wait_for_top_row(true)) << run.capture(false);
    expect_a_frame_of_the_show(run, show, Layout::Half, true);
    run.resize(80, 24);
    ASSERT_TRUE(wait_for_top_row(false)) << run.capture(false);
    expect_a_frame_of_the_show(run, show, Layout::Half, true);
}

// A terminal without cursor addressing is refused before anything is sent to it.
TEST_F(ConsoleTerminal, DumbOrUnknownTerminalIsRefusedUntouched) {
    for (const char* environment : {"TERM=dumb", "-u TERM"}) {
        RunSettings settings;
        settings.environment = environment;
        TerminalRun run(settings);
        EXPECT_EQ(run.wait_for_file("rc", 30s), "1") << environment;
        ASSERT_FALSE(run.wait_for_file("modes_after", 5s).empty());
        EXPECT_EQ(read_file(run.dir() / "modes_after"), read_file(run.dir() / "modes_before"));
        EXPECT_NE(run.query("#{pane_title}"), CONSOLE_TITLE);
        const std::string screen = run.capture(false);
        EXPECT_NE(screen.find("BEFORE-SHOW\ntextdemo-console: the terminal cannot address the cursor (TERM is unset or "
                              "dumb)\nAFTER-SHOW"),
                  std::string::npos)
            << screen;
    }
}

// --section 9 starts at the closing scene. Its background drifts a step with every frame
// it draws and the object is still out of view in its first seconds, so the terminal must
// show what textdemo-capture draws from the section's start after as many frames.
TEST_F(ConsoleTerminal, SectionNineStartsAtTheClosingScene) {
    const std::uint32_t start = section_start_ms(9);
    expect_started_show(
        "--section 9 --layout native",
        [&](const TerminalRun&, const TerminalModel& model, std::int64_t stopped_at) {
            // The program drew at most one frame per 16 ms since it was started.
            const auto frames = static_cast<std::uint32_t>(stopped_at / FRAME_PERIOD_MS + 1);
            return shows_captured_frame(model, captured_frames(start, start + frames * FRAME_PERIOD_MS, FRAME_PERIOD_MS));
        },
        "frame of the closing scene's start");
}

// --start 1:40 shows the show from 100 s on; these effects draw from the position alone, so
// the terminal shows textdemo-capture's frame of some position the music has reached.
TEST_F(ConsoleTerminal, StartAtOneFortyShowsTheShowFromThere) {
    constexpr std::uint32_t START = 100000;
    expect_started_show(
        "--start 1:40 --layout native",
        [&](const TerminalRun& run, const TerminalModel& model, std::int64_t stopped_at) {
            // The music played at least stopped_at - shown_at ms (it started before the picture
            // was seen) and at most stopped_at; the frame shown is up to one frame older.
            const std::int64_t least = std::max<std::int64_t>(0, stopped_at - run.shown_at_ms() - 100);
            return shows_captured_frame(model, captured_frames(START + static_cast<std::uint32_t>(least),
                                                               START + static_cast<std::uint32_t>(stopped_at), 1));
        },
        "frame of the show from 1:40 on");
}

// A start past the music's end is refused once the music is loaded, before the terminal is
// taken over: one line, exit code 2, the terminal as it was.
TEST_F(ConsoleTerminal, StartPastTheMusicsEndIsRefusedWithOneLine) {
    RunSettings settings;
    settings.arguments = "--start 59:00";
    TerminalRun run(settings);
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
        RunSettings settings;
        settings.program = (prefix / "bin/textdemo-console").string();
        settings.folder = "/";
        settings.arguments = "--layout native";
        TerminalRun run(settings);
        ASSERT_TRUE(run.wait_for_show(60s)) << run.capture(false);
        ShowFrames show;
        expect_a_frame_of_the_show(run, show, Layout::Native, false);
        run.tmux("send-keys -t show Escape");
        expect_terminal_given_back(run, "0");
    }
    fs::remove_all(prefix);
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

// --help and a bad option are answered before anything else, terminal or not.
TEST(ConsoleWithoutTerminal, HelpAndUnknownOptions) {
    const std::string program = "'" TEXTDEMO_CONSOLE_PROGRAM "'";
    const std::string help = shell_output(program + " --help 2>&1; echo rc=$?");
    EXPECT_EQ(help.rfind("usage: textdemo-console [OPTION...]\n", 0), 0u) << help;
    EXPECT_NE(help.find("--layout MODE"), std::string::npos);
    EXPECT_NE(help.find("Ctrl-C"), std::string::npos);
    EXPECT_NE(help.find("\nrc=0\n"), std::string::npos) << help;
    const std::string bad = shell_output(program + " --layout=tall 2>&1 >/dev/null; echo rc=$?");
    EXPECT_EQ(bad.rfind("textdemo-console: --layout: \"tall\" is not native, half, pixels or auto\nusage: textdemo-console", 0), 0u)
        << bad;
    EXPECT_NE(bad.find("\nrc=2\n"), std::string::npos) << bad;
}

}  // namespace
