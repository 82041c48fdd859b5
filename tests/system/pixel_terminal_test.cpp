// The pixels layout in real terminals, each on an Xvfb display of its own: kitty (software
// OpenGL) with `auto`, xterm as a VT340 with `--layout pixels`. A screenshot of the stopped
// show, cropped to where the layout puts the picture and reduced to 640 x 400, must equal
// the window program's picture (the capture tool's drawing routine) of a song position
// near where the show was, for at least 99% of pixels; sixel colours are in percent, so
// channels may be one off. kitty's window is also resized during the show, larger (the
// picture enlarged twice) and then smaller than at start: the picture must be where the
// new size puts it, and everything else in the cells black (no picture of the size before,
// no stray characters). After Escape or Ctrl-C the terminal must show no picture and
// nothing but its own background below the program's one-line messages, and kitty must
// have logged no warning of a sequence of ours. Skipped where Xvfb,
// the terminal, ImageMagick's import, xdotool or python3 are missing.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <regex>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include "display/console/pixel_layout.hpp"
#include "frame/convert.hpp"
#include "resources/cell_picture.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "tests/support/show_resources.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint32_t START_MS = 60000;  // the plasma behind the logo: drawn from the position alone
constexpr int BACKGROUND = 0x40;           // the terminals' background grey

bool have(const char* program) { return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0; }

std::string read_text(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool wait_for_file(const fs::path& path, std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(path) && fs::file_size(path) > 0) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

void kill_pid_in(const fs::path& path) {
    const int pid = std::atoi(read_text(path).c_str());
    if (pid > 0) kill(pid, SIGTERM);
}

// A folder, an Xvfb display and a terminal in it running textdemo-console, all ended and
// removed at the end.
class PixelTerminal {
public:
    PixelTerminal(const std::string& terminal_command, const std::string& arguments, const char* screen = "1280x800x24") {
        char pattern[] = "/tmp/textdemo-pixels-XXXXXX";
        dir_ = mkdtemp(pattern);
        fs::copy_file(test::show_archive_path(), dir_ / "ruk.salad");
        const std::string d = dir_.string();
        std::system(("sh -c 'Xvfb -displayfd 3 -screen 0 " + std::string(screen) +
                     " -nolisten tcp 3>\"$0/display\" >/dev/null 2>&1 &"
                     " echo $! > \"$0/xvfb.pid\"' '" + d + "'")
                        .c_str());
        if (!wait_for_file(dir_ / "display", 20s)) return;
        display_ = ":" + std::to_string(std::atoi(read_text(dir_ / "display").c_str()));
        // The terminal gets a second to be ready for the queries; the size in cells and pixels
        // is recorded; Ctrl-C must reach the program only.
        std::ofstream(dir_ / "show.sh")
            << "cd '" << d << "'; sleep 1\n"
            << "python3 -c 'import fcntl,termios,struct; print(*struct.unpack(\"HHHH\", fcntl.ioctl(0, "
               "termios.TIOCGWINSZ, bytes(8))))' > size\n"
            << "echo $$ > pid\nexec " << TEXTDEMO_CONSOLE_PROGRAM << " --start " << START_MS / 1000 << " " << arguments
            << "\n";
        std::ofstream(dir_ / "terminal.sh") << "trap : INT\nsh '" << d << "/show.sh'\necho $? > '" << d
                                            << "/rc'\nsleep 120\n";
        std::system(("cd '" + d + "' && DISPLAY=" + display_ + " LIBGL_ALWAYS_SOFTWARE=1 " + terminal_command + " sh '" + d +
                     "/terminal.sh' >terminal.log 2>&1 & echo $! > '" + d + "/terminal.pid'")
                        .c_str());
    }

    ~PixelTerminal() {
        kill_pid_in(dir_ / "pid");
        kill_pid_in(dir_ / "terminal.pid");
        kill_pid_in(dir_ / "xvfb.pid");
        std::this_thread::sleep_for(200ms);
        fs::remove_all(dir_);
    }

    bool started() { return !display_.empty() && wait_for_file(dir_ / "pid", 60s) && wait_for_file(dir_ / "size", 5s); }
    int pid() const { return std::atoi(read_text(dir_ / "pid").c_str()); }
    std::string rc() { return wait_for_file(dir_ / "rc", 10s) ? read_text(dir_ / "rc") : "none"; }
    const fs::path& dir() const { return dir_; }

    // Rows, columns, width and height in pixels.
    std::vector<int> size() const {
        std::istringstream in(read_text(dir_ / "size"));
        std::vector<int> values(4);
        for (int& v : values) in >> v;
        return values;
    }

    // RGB bytes of the screen's rectangle, sampled down to out_width x out_height.
    std::vector<std::uint8_t> screenshot(int x, int y, int width, int height, int out_width, int out_height) const {
        const fs::path file = dir_ / "shot.rgb";
        fs::remove(file);
        const std::string crop = std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" +
                                 std::to_string(y);
        std::system(("import -display " + display_ + " -window root png:- | convert png:- -crop " + crop +
                     " +repage -sample " + std::to_string(out_width) + "x" + std::to_string(out_height) +
                     "! -depth 8 rgb:'" + file.string() + "'")
                        .c_str());
        const std::string bytes = read_text(file);
        return {bytes.begin(), bytes.end()};
    }

    void save_window(const fs::path& png, int width, int height) const {
        std::system(("import -display " + display_ + " -window root -crop " + std::to_string(width) + "x" +
                     std::to_string(height) + "+0+0 +repage '" + png.string() + "'")
                        .c_str());
    }

    void key(const char* name) const { xdotool("windowfocus --sync key " + std::string(name)); }

    // The window to width x height pixels; the terminal takes the cells that fit.
    void resize(int width, int height) const {
        xdotool("windowsize --sync " + std::to_string(width) + " " + std::to_string(height));
    }

private:
    // On the display's one window.
    void xdotool(const std::string& command) const {
        std::system(("DISPLAY=" + display_ + " xdotool search --sync --onlyvisible --class . " + command + " >/dev/null 2>&1")
                        .c_str());
    }

    fs::path dir_;
    std::string display_;
};

int equal_pixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int tolerance) {
    if (a.size() != b.size()) return 0;
    int equal = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) {
        bool same = true;
        for (int c = 0; c < 3; ++c) same = same && std::abs(a[i + c] - b[i + c]) <= tolerance;
        equal += same;
    }
    return equal;
}

// The window's picture of song positions from START_MS on, in order, as the show draws them.
class WindowPictures {
public:
    WindowPictures() {
        EXPECT_TRUE(test::use_show_archive());
        EXPECT_EQ(build_headless_show().message, "");
        Image font;
        EXPECT_EQ(load_image(font, "textmodechars.png").message, "");
        font_ = font_texture(font);
    }
    ~WindowPictures() { EXPECT_EQ(end_headless_show().message, ""); }

    const std::vector<std::uint8_t>& at(std::uint32_t position) {
        draw_song_frame(position);
        convert_cells(text_frame().pixels, cells_);
        draw_cell_picture(cells_, font_, rgb_);
        return rgb_;
    }

    // The most pixels any position in [from, to] has equal to the shot: every 16 ms, then
    // every millisecond around the best.
    int best_match(const std::vector<std::uint8_t>& shot, std::uint32_t from, std::uint32_t to, int tolerance,
                   std::uint32_t& position) {
        int best = -1;
        for (std::uint32_t p = from; p <= to; p += 16) {
            const int equal = equal_pixels(shot, at(p), tolerance);
            if (equal > best) best = equal, position = p;
        }
        const std::uint32_t coarse = position;
        for (std::uint32_t p = coarse > from + 16 ? coarse - 16 : from; p <= coarse + 16; ++p) {
            const int equal = equal_pixels(shot, at(p), tolerance);
            if (equal > best) best = equal, position = p;
        }
        return best;
    }

private:
    FontTexture font_;
    Cell cells_[FRAME_CELLS]{};
    std::vector<std::uint8_t> rgb_;
};

bool tools_missing(const char* terminal) {
    for (const char* tool : {"Xvfb", "import", "convert", "xdotool", "python3", terminal}) {
        if (!have(tool)) {
            std::printf("skipped: %s is not installed\n", tool);
            return true;
        }
    }
    return false;
}

using Clock = std::chrono::steady_clock;

// Where the terminal's cells are: rows x columns of the cell size, from the window's corner.
struct CellArea {
    int rows = 0, columns = 0;
    CellSize cell;
    int width() const { return columns * cell.width; }
    int height() const { return rows * cell.height; }
};

// Stops the show and checks the picture where `area` has it in the layout of `protocol`
// (kitty: auto; sixel: --layout pixels): a window's picture of a song position the show can
// have reached since `shown_at`. With margins_black, every other pixel of the cells must be
// black. Resumes the show.
void expect_picture(PixelTerminal& terminal, const CellArea& area, bool kitty, int tolerance, Clock::time_point shown_at,
                    bool margins_black) {
    const PixelLayout layout = choose_pixel_layout(kitty ? ConsoleLayout::Auto : ConsoleLayout::Pixels, kitty, !kitty,
                                                   area.rows, area.columns, area.cell);
    ASSERT_NE(layout.protocol, PixelProtocol::None) << area.rows << " x " << area.columns << " cells";
    kill(terminal.pid(), SIGSTOP);
    const auto stopped_after = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - shown_at).count();
    std::this_thread::sleep_for(1s);  // the terminal draws what it was sent
    const int width = area.width(), height = area.height();
    const std::vector<std::uint8_t> shot = terminal.screenshot(0, 0, width, height, width, height);
    // For the README: TEXTDEMO_PIXEL_SHOTS=DIR keeps the terminal's screenshot there (a
    // resized one under its size).
    if (const char* keep = std::getenv("TEXTDEMO_PIXEL_SHOTS")) {
        const std::string name = std::string(kitty ? "kitty" : "xterm") +
                                 (margins_black ? "_" + std::to_string(area.columns) + "x" + std::to_string(area.rows) : "");
        terminal.save_window(fs::path(keep) / (name + ".png"), width, height);
    }
    kill(terminal.pid(), SIGCONT);
    ASSERT_EQ(shot.size(), static_cast<std::size_t>(width) * height * 3);
    // Each pixel of the picture is scale x scale equal ones: their top-left one is taken.
    const int left = layout.region.left * area.cell.width + layout.x_offset;
    const int top = layout.region.top * area.cell.height + layout.y_offset;
    const int right = left + PICTURE_WIDTH * layout.scale, bottom = top + PICTURE_HEIGHT * layout.scale;
    std::vector<std::uint8_t> picture;
    int margin_not_black = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = &shot[(static_cast<std::size_t>(y) * width + x) * 3];
            if (x < left || x >= right || y < top || y >= bottom) margin_not_black += p[0] != 0 || p[1] != 0 || p[2] != 0;
            else if ((x - left) % layout.scale == 0 && (y - top) % layout.scale == 0) picture.insert(picture.end(), p, p + 3);
        }
    if (margins_black) {
        EXPECT_EQ(margin_not_black, 0) << area.rows << " x " << area.columns << " cells";
    }
    WindowPictures pictures;
    std::uint32_t position = 0;
    const int equal = pictures.best_match(picture, START_MS, START_MS + static_cast<std::uint32_t>(stopped_after) + 500,
                                          tolerance, position);
    EXPECT_GE(equal, PICTURE_WIDTH * PICTURE_HEIGHT * 99 / 100) << "best at " << position << " ms";
    std::printf("%d of %d pixels equal the window's picture at %u ms (%s, %d x %d cells, enlarged %d times)\n", equal,
                PICTURE_WIDTH * PICTURE_HEIGHT, position, kitty ? "kitty" : "xterm", area.columns, area.rows,
                layout.scale);
}

// Ends the show with `key` and checks that nothing of it is left.
void expect_nothing_left(PixelTerminal& terminal, const CellArea& area, bool kitty, const char* key, const char* rc) {
    terminal.key(key);
    EXPECT_EQ(terminal.rc(), std::string(rc) + "\n");
    if (kitty) {
        // kitty logs what it does not take (a sequence it does not know, the request for
        // another size, a synchronized update ended that never began): nothing of ours.
        static const std::regex WARNING("escape|unknown|unrecognized|not supported|parse error|pending mode",
                                        std::regex::icase);
        const std::string log = read_text(terminal.dir() / "terminal.log");
        EXPECT_FALSE(std::regex_search(log, WARNING)) << log;
    }
    // Only grey text (the held message lines) in the first two rows, only the background
    // below; a terminal busy with other tests may take a few seconds to show it.
    const int width = area.width(), height = area.height();
    int coloured = -1, below = -1;
    const auto end = Clock::now() + 10s;
    while ((coloured != 0 || below != 0) && Clock::now() < end) {
        std::this_thread::sleep_for(500ms);
        const std::vector<std::uint8_t> after = terminal.screenshot(0, 0, width, height, width, height);
        ASSERT_EQ(after.size(), static_cast<std::size_t>(width) * height * 3);
        coloured = below = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &after[(static_cast<std::size_t>(y) * width + x) * 3];
                coloured += p[0] != p[1] || p[1] != p[2];
                below += y >= 2 * area.cell.height && (p[0] != BACKGROUND || p[1] != BACKGROUND || p[2] != BACKGROUND);
            }
    }
    EXPECT_EQ(coloured, 0);
    EXPECT_EQ(below, 0);
}

// The terminal's cells at start, as the show's script recorded them.
CellArea start_area(const PixelTerminal& terminal) {
    const std::vector<int> size = terminal.size();
    return {size[0], size[1], {size[2] / std::max(1, size[1]), size[3] / std::max(1, size[0])}};
}

// Runs the show in the terminal, checks the picture shown, ends it with `key` and checks
// that nothing of it is left.
void expect_window_picture(const std::string& terminal_command, const std::string& arguments, bool kitty, int tolerance,
                           const char* key, const char* rc) {
    PixelTerminal terminal(terminal_command, arguments);
    if (!terminal.started()) GTEST_SKIP() << "the terminal did not start (no display or no OpenGL)";
    const CellArea area = start_area(terminal);
    const auto shown_at = Clock::now();
    std::this_thread::sleep_for(5s);
    expect_picture(terminal, area, kitty, tolerance, shown_at, false);
    expect_nothing_left(terminal, area, kitty, key, rc);
}

const std::string KITTY = "kitty --config NONE -o placement_strategy=top-left -o remember_window_size=no"
                          " -o initial_window_width=1000 -o initial_window_height=600 -o window_padding_width=0"
                          " -o background=#404040 -o foreground=#dddddd -o cursor_blink_interval=0";
const std::string XTERM = "xterm -ti vt340 -bw 0 -b 0 -geometry 110x33+0+0 -bg '#404040' -fg '#dddddd' -e";

TEST(PixelTerminal, KittyWithAutoShowsTheWindowsPictureAndEscapeLeavesNone) {
    if (tools_missing("kitty")) GTEST_SKIP();
    expect_window_picture(KITTY, "", true, 0, "Escape", "0");
}

TEST(PixelTerminal, KittyCtrlCLeavesNoPicture) {
    if (tools_missing("kitty")) GTEST_SKIP();
    expect_window_picture(KITTY, "", true, 0, "ctrl+c", "130");
}

// From 111 x 33 cells (the picture as it is) to 144 x 45 (enlarged twice, the whole cells
// of 1300 x 820 pixels), then to 77 x 25 (as it is, placed anew): each time the terminal
// shows only the new picture, on black.
TEST(PixelTerminal, KittyResizedTwiceShowsThePictureForEachSizeAndEscapeLeavesNone) {
    if (tools_missing("kitty")) GTEST_SKIP();
    PixelTerminal terminal(KITTY, "", "1400x900x24");
    if (!terminal.started()) GTEST_SKIP() << "the terminal did not start (no display or no OpenGL)";
    const auto shown_at = Clock::now();
    CellArea area = start_area(terminal);
    for (const auto& [width, height] : {std::pair{1300, 820}, std::pair{700, 450}}) {
        std::this_thread::sleep_for(3s);
        terminal.resize(width, height);
        std::this_thread::sleep_for(2s);  // the show sees the new size and draws anew
        area.rows = height / area.cell.height;
        area.columns = width / area.cell.width;
        expect_picture(terminal, area, true, 0, shown_at, true);
    }
    expect_nothing_left(terminal, area, true, "Escape", "0");
}

TEST(PixelTerminal, XtermAsVt340ShowsSixelFramesOfTheWindowsPicture) {
    if (tools_missing("xterm")) GTEST_SKIP();
    expect_window_picture(XTERM, "--layout pixels", false, 1, "Escape", "0");
}

}  // namespace
}  // namespace textdemo
