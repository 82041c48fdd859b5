// Real terminals on an X server of the test's own (Xvfb on a free display) run
// textdemo-console at the closing scene; a screenshot of the terminal's window shows where
// the picture went. It must be the window program's 1.60 wide per unit of height within
// 5%, where the layout for that terminal size and cell shape puts it, with every other
// cell of the terminal black. Plain xterm (TERM=xterm, no COLORTERM) with `auto` must show
// the exact 24-bit mixes of the frame cells, which it takes only by asking the terminal.
//
// One case of each kind runs in the suite (xterm at 200 x 60, the picture twice enlarged);
// the DISABLED_ instances (kitty, alacritty and xterm at 80 x 24, 100 x 60 and 200 x 60)
// run from bench/terminal_pictures.sh. Setting
// TEXTDEMO_TERMINAL_SHOTS to a folder saves each measured window there as a PNG;
// TEXTDEMO_TERMINAL_DISPLAY=N runs Xvfb on display :N rather than the first free one, and
// TEXTDEMO_TERMINAL_CONSOLE names another textdemo-console to run (another build's, to
// compare two in turns under the same load).
// Skipped where Xvfb, the terminal or the show archive is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display/console/console_layout.hpp"
#include "display/console/half_block.hpp"
#include "resources/archive.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/test_content.hpp"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace textdemo;

namespace {

constexpr int SCREEN_WIDTH = 1920, SCREEN_HEIGHT = 1200;
constexpr auto PICTURE_TIMEOUT = 40s;  // kitty with software OpenGL on a busy machine

bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        if (access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Runs `arguments` in `folder` with `environment` added (NAME=value; NAME= alone unsets);
// the child dies with the test.
pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const fs::path& folder, int keep_descriptor = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (const std::string& setting : environment) {
        const std::size_t equals = setting.find('=');
        const std::string name = setting.substr(0, equals), value = setting.substr(equals + 1);
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
    if (chdir(folder.c_str()) != 0) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO), dup2(null, STDOUT_FILENO), dup2(null, STDERR_FILENO);
    for (int descriptor = 3; descriptor < 256; ++descriptor)
        if (descriptor != keep_descriptor) close(descriptor);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

void end_process(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int waited = 0; waited < 100 && waitpid(pid, nullptr, WNOHANG) == 0; ++waited) std::this_thread::sleep_for(50ms);
    if (kill(pid, 0) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

// Xvfb on the first free display, or on the one TEXTDEMO_TERMINAL_DISPLAY names (a number),
// told back through a pipe (-displayfd) once it is ready; ended, with its lock and socket,
// when this goes.
class PrivateX {
public:
    explicit PrivateX(const fs::path& folder) {
        int pipe_ends[2];
        if (pipe(pipe_ends) != 0) return;
        const std::string size = std::to_string(SCREEN_WIDTH) + "x" + std::to_string(SCREEN_HEIGHT) + "x24";
        std::vector<std::string> command = {"Xvfb", "-displayfd", std::to_string(pipe_ends[1]), "-screen", "0", size,
                                            "-nolisten", "tcp"};
        if (const char* number = std::getenv("TEXTDEMO_TERMINAL_DISPLAY"); number && *number)
            command.insert(command.begin() + 1, std::string(":") + number);
        pid_ = spawn(command, {}, folder, pipe_ends[1]);
        close(pipe_ends[1]);
        std::string number;
        char c;
        pollfd ready{pipe_ends[0], POLLIN, 0};
        while (poll(&ready, 1, 10000) == 1 && read(pipe_ends[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipe_ends[0]);
        if (number.empty()) return;
        name_ = ":" + number;
        display_ = XOpenDisplay(name_.c_str());
    }
    ~PrivateX() {
        if (display_) XCloseDisplay(display_);
        end_process(pid_);
    }
    Display* display() const { return display_; }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    Display* display_ = nullptr;
};

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Box&, const Box&) = default;
};

std::string describe(const Box& box) {
    return std::to_string(box.width()) + " x " + std::to_string(box.height()) + " at " + std::to_string(box.left) +
           "," + std::to_string(box.top);
}

// The pixels of a window, 0x00RRGGBB row by row.
struct Shot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The largest window shown on the screen (no window manager: the terminal's own), where it is.
bool terminal_window(Display* display, Box& where) {
    Window root_back, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root_back, &parent, &children, &count)) return false;
    long largest = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable) continue;
        const long area = static_cast<long>(attributes.width) * attributes.height;
        if (area <= largest) continue;
        largest = area;
        // x and y are the corner of the window's X border; its inside lies within that.
        const int x = attributes.x + attributes.border_width, y = attributes.y + attributes.border_width;
        where = {x, y, std::min(x + attributes.width, SCREEN_WIDTH), std::min(y + attributes.height, SCREEN_HEIGHT)};
    }
    if (children) XFree(children);
    return largest > 0;
}

Shot screenshot(Display* display, const Box& box) {
    Shot shot;
    XImage* image = XGetImage(display, DefaultRootWindow(display), box.left, box.top, box.width(), box.height(), AllPlanes,
                              ZPixmap);
    if (!image) return shot;
    shot.width = box.width(), shot.height = box.height();
    shot.pixels.resize(static_cast<std::size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) shot.pixels[y * shot.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    XDestroyImage(image);
    return shot;
}

// Where the picture lies: the smallest box holding every pixel of `area` that is not black.
Box picture_box(const Shot& shot, const Box& area) {
    Box box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.at(x, y) != 0) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x + 1);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y + 1);
            }
    return box.empty() ? Box{} : box;
}

struct Terminal {
    std::string_view program;
    int border;  // pixels between the window's edge and the first cell
};
constexpr Terminal XTERM = {"xterm", 2}, KITTY = {"kitty", 0}, ALACRITTY = {"alacritty", 0};

// xterm's default font (fixed, 6 x 13), kitty's and alacritty's (DejaVu Sans Mono, 9 x 18).
std::vector<std::string> terminal_command(const Terminal& terminal, int columns, int rows, const std::string& font) {
    const std::string c = std::to_string(columns), r = std::to_string(rows);
    if (terminal.program == XTERM.program) {
        std::vector<std::string> command = {"xterm", "-geometry", c + "x" + r + "+0+0"};
        if (!font.empty()) command.insert(command.end(), {"-fn", font});
        command.push_back("-e");
        return command;
    }
    if (terminal.program == KITTY.program)
        return {"kitty", "--config", "NONE", "-o", "initial_window_width=" + c + "c", "-o",
                "initial_window_height=" + r + "c", "-o", "remember_window_size=no"};
    return {"alacritty", "--config-file", "/dev/null", "-o", "window.dimensions.columns=" + c, "-o",
            "window.dimensions.lines=" + r, "-e"};
}

struct PictureCase {
    Terminal terminal;
    int columns, rows;
    const char* layout;  // --layout
    std::string font = {};   // xterm's, when not its default
    std::string start = {};  // --start; else the closing scene (--section 9)
};

std::string case_name(const PictureCase& c) {
    return std::string(c.terminal.program) + "_" + std::to_string(c.columns) + "x" + std::to_string(c.rows) + "_" +
           c.layout;
}

// What a run of the program in a terminal showed, once the picture stood in one place.
struct Seen {
    Shot shot;          // the terminal's window
    Box cells;          // its cells, in the shot
    CellSize cell;      // one cell in pixels
    Box picture;        // the picture, in the shot
    std::string trace;  // what was seen while waiting
};

class TerminalPicture : public ::testing::TestWithParam<PictureCase> {
protected:
    void SetUp() override {
        const PictureCase& c = GetParam();
        for (const std::string& needed : {std::string("Xvfb"), std::string(c.terminal.program)})
            if (!on_path(needed)) GTEST_SKIP() << needed << " is not installed";
        if (!fs::exists(test::show_archive_path())) GTEST_SKIP() << "no show archive at " << test::show_archive_path();
        char pattern[] = "/tmp/textdemo-terminal-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "run");
        fs::permissions(dir_ / "run", fs::perms::owner_all);
        x_ = std::make_unique<PrivateX>(dir_);
        ASSERT_NE(x_->display(), nullptr) << "Xvfb did not start";
    }

    void TearDown() override {
        end_process(terminal_);
        // The terminal hangs the program up; one that lingers is ended by its pid.
        const pid_t program = program_pid();
        const auto end = std::chrono::steady_clock::now() + 5s;
        while (program > 0 && kill(program, 0) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(50ms);
        if (program > 0 && kill(program, 0) == 0) {
            kill(program, SIGKILL);
            ADD_FAILURE() << "textdemo-console outlived its terminal by 5 s";
        }
        x_.reset();
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // The program's pid, once it has started; else -1.
    pid_t program_pid() const {
        std::ifstream pid_file(dir_ / "pid");
        pid_t pid = -1;
        return pid_file >> pid ? pid : -1;
    }

    // The terminal runs the program at the closing scene; waits until the program has run
    // for a second and the picture, with black beside it, has stood in the same place for
    // two looks in a row (a busy machine may take longer to start the show).
    Seen run_until_the_picture_stands() {
        const PictureCase& c = GetParam();
        std::vector<std::string> command = terminal_command(c.terminal, c.columns, c.rows, c.font);
        const char* other_program = std::getenv("TEXTDEMO_TERMINAL_CONSOLE");
        const std::string program = other_program && *other_program ? other_program : TEXTDEMO_CONSOLE_PROGRAM;
        command.insert(command.end(), {"sh", "-c", "echo $$ > pid && exec \"$@\"", "sh", program,
                                       "--archive", test::show_archive_path(), "--mute", "--layout", c.layout});
        if (c.start.empty())
            command.insert(command.end(), {"--section", "9"});
        else
            command.insert(command.end(), {"--start", c.start});
        const fs::path home = dir_;
        spawned_ = std::chrono::steady_clock::now();
        terminal_ = spawn(command,
                          {"DISPLAY=" + x_->name(), "HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                           "XDG_CACHE_HOME=" + (home / "cache").string(), "XDG_RUNTIME_DIR=" + (home / "run").string(),
                           "LC_ALL=C.UTF-8", "LIBGL_ALWAYS_SOFTWARE=1", "COLORTERM=", "TERM="},
                          dir_);
        Seen seen;
        Box before;
        const auto end = std::chrono::steady_clock::now() + PICTURE_TIMEOUT;
        while (program_pid() < 0 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(50ms);
        std::this_thread::sleep_for(700ms);
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(300ms);
            Box window;
            if (!terminal_window(x_->display(), window)) continue;
            seen.shot = screenshot(x_->display(), window);
            const int border = c.terminal.border;
            seen.cell = {(window.width() - 2 * border) / c.columns, (window.height() - 2 * border) / c.rows};
            seen.cells = {border, border, border + c.columns * seen.cell.width, border + c.rows * seen.cell.height};
            if (seen.cell.width < 1 || seen.cell.height < 1 || seen.shot.pixels.empty()) continue;
            seen.picture = picture_box(seen.shot, seen.cells);
            seen.trace += " [" + describe(window) + ": " + describe(seen.picture) + "]";
            // Before the program's first frame xterm shows its own white screen, which fills
            // every cell; each case's picture leaves a black margin on some side.
            if (!seen.picture.empty() && seen.picture != seen.cells && seen.picture == before) break;
            before = seen.picture;
        }
        if (const char* folder = std::getenv("TEXTDEMO_TERMINAL_SHOTS")) {
            const std::vector<std::uint8_t> png = test::encode_png(seen.shot.width, seen.shot.height, seen.shot.pixels);
            std::ofstream(fs::path(folder) / (case_name(c) + ".png"), std::ios::binary)
                .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        }
        return seen;
    }

    fs::path dir_;
    std::unique_ptr<PrivateX> x_;
    pid_t terminal_ = -1;
    std::chrono::steady_clock::time_point spawned_;
};

// Where the layout puts the picture, in the window's pixels.
Box expected_picture(const PictureCase& c, const Seen& seen, int& scale) {
    const ConsoleLayout asked = std::string(c.layout) == "half" ? ConsoleLayout::Half : ConsoleLayout::Auto;
    const ScreenLayout layout = choose_layout(asked, c.rows, c.columns, seen.cell);
    const ScreenRegion& r = layout.region;
    scale = layout.scale;
    const int w = seen.cell.width, h = seen.cell.height;
    return {seen.cells.left + r.left * w, seen.cells.top + r.top * h, seen.cells.left + (r.left + r.columns) * w,
            seen.cells.top + (r.top + r.rows) * h};
}

TEST_P(TerminalPicture, KeepsTheWindowsProportionsOnBlack) {
    const PictureCase& c = GetParam();
    const Seen seen = run_until_the_picture_stands();
    ASSERT_FALSE(seen.picture.empty()) << "no picture seen:" << seen.trace;
    int scale = 1;
    const Box expected = expected_picture(c, seen, scale);
    const std::string where = case_name(c) + ", cells of " + std::to_string(seen.cell.width) + " x " +
                              std::to_string(seen.cell.height) + ": picture " + describe(seen.picture) +
                              ", laid out " + describe(expected);
    // A black pixel of the picture's own at its edge may shrink what is seen by one.
    const int across = scale * seen.cell.width, down = (scale * seen.cell.height + 1) / 2;
    EXPECT_GE(seen.picture.left, expected.left) << where;
    EXPECT_LE(seen.picture.left, expected.left + across) << where;
    EXPECT_LE(seen.picture.right, expected.right) << where;
    EXPECT_GE(seen.picture.right, expected.right - across) << where;
    EXPECT_GE(seen.picture.top, expected.top) << where;
    EXPECT_LE(seen.picture.top, expected.top + down) << where;
    EXPECT_LE(seen.picture.bottom, expected.bottom) << where;
    EXPECT_GE(seen.picture.bottom, expected.bottom - down) << where;
    const double shape = double(seen.picture.width()) / seen.picture.height();
    EXPECT_NEAR(shape / 1.6, 1.0, 0.05) << where;
    // As large as fits: a whole factor more would reach past the terminal's width or height,
    // so the picture takes more than half of one of them (two thirds, less rounding).
    EXPECT_TRUE(seen.picture.width() * 3 > seen.cells.width() * 2 || seen.picture.height() * 3 > seen.cells.height() * 2)
        << where;
    std::printf("%s: cells of %d x %d, picture %d x %d pixels (%.3f), enlarged %d times\n", case_name(c).c_str(),
                seen.cell.width, seen.cell.height, seen.picture.width(), seen.picture.height(), shape, scale);
    long not_black = 0;
    for (int y = seen.cells.top; y < seen.cells.bottom; ++y)
        for (int x = seen.cells.left; x < seen.cells.right; ++x) {
            const bool inside = x >= seen.picture.left && x < seen.picture.right && y >= seen.picture.top &&
                                y < seen.picture.bottom;
            not_black += !inside && seen.shot.at(x, y) != 0;
        }
    EXPECT_EQ(not_black, 0) << "pixels of the margins not black; " << where;
}

// Every colour the half picture can show in 24-bit colour without averaging: each frame
// cell's mix of its two colours by the ink of its glyph (a cell word's other characters
// count as half inked).
std::set<std::uint32_t> every_cell_mix() {
    std::set<std::uint32_t> mixes;
    if (!test::use_show_archive()) return mixes;
    Image font;
    if (load_image(font, "textmodechars.png")) return mixes;
    const GlyphInk glyphs = glyph_ink(font_texture(font));
    for (int attribute = 0; attribute < 256; ++attribute) {
        for (std::uint32_t ink : glyphs.ink) {
            for (const std::uint32_t used : {ink, FULL_INK / 2}) {
                const Rgb8 mix = cell_mix(attribute, used);
                mixes.insert(static_cast<std::uint32_t>(mix.red) << 16 | mix.green << 8 | mix.blue);
            }
        }
    }
    return mixes;
}

class TrueColourByAsking : public TerminalPicture {};

// xterm with a 9 x 18 font: the half picture is the whole 80 x 50 frame, not averaged, so
// in 24-bit colour every pixel is exactly a cell's mix; in 256 colours these would be
// rounded to the fixed cube, in 16 to the theme.
TEST_P(TrueColourByAsking, PlainXtermShowsTheExactMixes) {
    const Seen seen = run_until_the_picture_stands();
    ASSERT_FALSE(seen.picture.empty()) << "no picture seen:" << seen.trace;
    const std::set<std::uint32_t> mixes = every_cell_mix();
    ASSERT_FALSE(mixes.empty()) << "no glyph image in " << test::show_archive_path();
    long exact = 0, all = 0;
    std::set<std::uint32_t> shown;
    for (int y = seen.picture.top; y < seen.picture.bottom; ++y)
        for (int x = seen.picture.left; x < seen.picture.right; ++x) {
            const std::uint32_t colour = seen.shot.at(x, y);
            shown.insert(colour);
            exact += mixes.count(colour);
            ++all;
        }
    EXPECT_GE(shown.size(), 16u) << "colours seen";
    EXPECT_GE(double(exact) / all, 0.99) << exact << " of " << all << " pixels are exact cell mixes";
}

// How often xterm, which has no synchronized output, shows parts of two frames at once:
// rapid screenshots of the half picture in 80 x 25 cells of 9 x 18 (each cell's two pixels
// exactly two frame cells' mixes) at the plasma behind the logo, which is drawn from the
// song position alone; each band of 5 cell rows is matched against the frames of every
// millisecond the show went through. A shot is torn when no one frame holds all its
// bands: bands of different frames, or a band that no frame shows whole (drawn half).
// Shots 23 ms apart, not in step with the frames. A measurement, not a check:
// bench/terminal_pictures.sh runs it and prints the share.
class TornFrames : public TerminalPicture {};

constexpr int BAND_ROWS = 5, BANDS = 5, SHOTS = 300;
constexpr auto SHOT_INTERVAL = 23ms;  // not a multiple of the 16 ms frame
constexpr std::uint32_t TORN_START_MS = 60000;

// The colours a band of cell rows shows (each cell's upper and lower half), hashed.
std::uint64_t band_hash(const std::uint32_t* colours, int band) {
    std::uint64_t hash = 1469598103934665603ull;
    const int first = band * BAND_ROWS * 2 * FRAME_WIDTH, count = BAND_ROWS * 2 * FRAME_WIDTH;
    for (int i = first; i < first + count; ++i) hash = (hash ^ colours[i]) * 1099511628211ull;
    return hash;
}

// The machine's load over the last minute, as the share depends on it; -1 where unknown.
double load_average() {
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

TEST_P(TornFrames, XtermShareOfShotsShowingTwoFrames) {
    const Seen seen = run_until_the_picture_stands();
    const double load_before = load_average();
    ASSERT_FALSE(seen.picture.empty()) << "no picture seen:" << seen.trace;
    const auto started = std::chrono::steady_clock::now();
    Box window;
    ASSERT_TRUE(terminal_window(x_->display(), window));
    // The centre of each half of each cell, 80 x 50 colours a shot, in frame-cell order.
    std::vector<std::vector<std::uint32_t>> shots;
    for (int n = 0; n < SHOTS; ++n) {
        std::this_thread::sleep_until(started + n * SHOT_INTERVAL);
        XImage* image = XGetImage(x_->display(), DefaultRootWindow(x_->display()), window.left + seen.picture.left,
                                  window.top + seen.picture.top, seen.picture.width(), seen.picture.height(),
                                  AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        std::vector<std::uint32_t>& colours = shots.emplace_back(FRAME_CELLS);
        for (int y = 0; y < FRAME_HEIGHT; ++y)
            for (int x = 0; x < FRAME_WIDTH; ++x)
                colours[y * FRAME_WIDTH + x] =
                    XGetPixel(image, x * seen.cell.width + seen.cell.width / 2,
                              y / 2 * seen.cell.height + (y % 2) * seen.cell.height / 2 + seen.cell.height / 4) &
                    0xFFFFFF;
        XDestroyImage(image);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Every frame the show can have drawn since it started, band by band.
    ASSERT_TRUE(test::use_show_archive());
    ASSERT_EQ(build_headless_show().message, "");
    Image font;
    ASSERT_EQ(load_image(font, "textmodechars.png").message, "");
    const GlyphInk glyphs = glyph_ink(font_texture(font));
    std::vector<std::vector<std::pair<std::uint64_t, std::uint32_t>>> frames(BANDS);  // hash, position
    const auto shown_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - spawned_).count();
    const std::uint32_t last = TORN_START_MS + static_cast<std::uint32_t>(shown_ms) + 1000;
    Rgb8 mixes[FRAME_CELLS];
    std::uint32_t words[FRAME_CELLS];
    for (std::uint32_t position = TORN_START_MS; position <= last; ++position) {
        draw_song_frame(position);
        frame_mixes(glyphs, text_frame().pixels, mixes);
        for (int i = 0; i < FRAME_CELLS; ++i)
            words[i] = static_cast<std::uint32_t>(mixes[i].red) << 16 | mixes[i].green << 8 | mixes[i].blue;
        for (int band = 0; band < BANDS; ++band) frames[band].emplace_back(band_hash(words, band), position);
    }
    EXPECT_EQ(end_headless_show().message, "");
    for (auto& band : frames) std::sort(band.begin(), band.end());
    int torn = 0, unmatched = 0, still = 0;
    for (std::size_t n = 0; n < shots.size(); ++n) {
        const std::vector<std::uint32_t>& shot = shots[n];
        // The positions each band matches; a shot is whole when one position is in all.
        std::vector<std::uint32_t> common;
        bool first = true, all_matched = true;
        for (int band = 0; band < BANDS; ++band) {
            const std::uint64_t hash = band_hash(shot.data(), band);
            auto range = std::equal_range(frames[band].begin(), frames[band].end(), std::make_pair(hash, 0u),
                                          [](const auto& a, const auto& b) { return a.first < b.first; });
            std::vector<std::uint32_t> matches;
            for (auto it = range.first; it != range.second; ++it) matches.push_back(it->second);
            std::sort(matches.begin(), matches.end());
            all_matched = all_matched && !matches.empty();
            if (first) {
                common = matches;
                first = false;
            } else {
                std::vector<std::uint32_t> both;
                std::set_intersection(common.begin(), common.end(), matches.begin(), matches.end(),
                                      std::back_inserter(both));
                common = both;
            }
        }
        if (!all_matched)
            ++unmatched;
        else if (common.empty())
            ++torn;
        still += n > 0 && shot == shots[n - 1];
    }
    std::printf("xterm torn frames: %d of %d shots (%.1f%%) show parts of more than one frame: %d bands of "
                "different frames, %d a band of no one frame (drawn half); %d shots in %.2f s, %d the same as "
                "the one before; load %.2f, then %.2f\n",
                torn + unmatched, SHOTS, 100.0 * (torn + unmatched) / SHOTS, torn, unmatched, SHOTS, seconds, still,
                load_before, load_average());
    EXPECT_LT(unmatched + torn, SHOTS) << "no shot matched a frame at all";
}

const PictureCase kRepresentative[] = {{XTERM, 200, 60, "half", ""}};
const PictureCase kEveryTerminal[] = {
    {XTERM, 80, 24, "half", ""},      {XTERM, 100, 60, "half", ""},
    {KITTY, 80, 24, "half", ""},      {KITTY, 100, 60, "half", ""},      {KITTY, 200, 60, "half", ""},
    {ALACRITTY, 80, 24, "auto", ""},  {ALACRITTY, 100, 60, "auto", ""},  {ALACRITTY, 200, 60, "auto", ""},
};
const PictureCase kPlainXterm[] = {{XTERM, 100, 60, "auto", "-misc-fixed-medium-r-normal--18-120-100-100-c-90-iso10646-1"}};

// Test names and failure lines say which case, not its bytes.
void PrintTo(const PictureCase& c, std::ostream* out) { *out << case_name(c); }

const PictureCase kTornXterm[] = {
    {XTERM, 100, 60, "half", "-misc-fixed-medium-r-normal--18-120-100-100-c-90-iso10646-1", "60"}};

std::string param_name(const ::testing::TestParamInfo<PictureCase>& info) { return case_name(info.param); }

INSTANTIATE_TEST_SUITE_P(Representative, TerminalPicture, ::testing::ValuesIn(kRepresentative), param_name);
INSTANTIATE_TEST_SUITE_P(DISABLED_EveryTerminal, TerminalPicture, ::testing::ValuesIn(kEveryTerminal), param_name);
INSTANTIATE_TEST_SUITE_P(DISABLED_Measure, TornFrames, ::testing::ValuesIn(kTornXterm), param_name);
INSTANTIATE_TEST_SUITE_P(Xterm, TrueColourByAsking, ::testing::ValuesIn(kPlainXterm), param_name);

}  // namespace
