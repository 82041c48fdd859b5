// Runs the real textdemo-gl on a private Xvfb display with a tiny show archive whose every
// frame is known, answers "Fullscreen?" as a person would, reads the window's pixels back
// and ends the show with a tap of Escape, the window's close button or a signal. The
// GlWithoutOpenGL suite runs on an X server without GLX (a ctest entry of its own).
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/text_palette.hpp"
#include "tests/support/show_archive.hpp"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include "tests/gl/x_windows.hpp"

#include <X11/Xutil.h>

using namespace textdemo;

namespace {

// Glyph 10 of the test font is the 4 x 4 block in its top-left corner; the rest is empty.
std::vector<std::uint32_t> test_font() {
    std::vector<std::uint32_t> font(256 * 256, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) font[y * 256 + 80 + x] = 0x00FFFFFF;
    return font;
}

std::string run_command(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// Windows come and go while the test looks at them (the question box, a mode switch); a
// request about one that just vanished is not a failure of the test.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

int channel(float value) { return static_cast<int>(value * 255.0f + 0.5f); }

class GlProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/textdemo-gl-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(test::write_uniform_show_archive(dir_ + "/ruk.salad", 20000, test_font()));
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr) << "no X display";
        XSetErrorHandler(ignore_x_error);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (display_) XCloseDisplay(display_);
        std::system(("rm -rf " + dir_).c_str());
    }

    // Starts textdemo-gl in the test's folder with `options` on its command line.
    void start_program(const std::vector<const char*>& options = {}) {
        std::vector<char*> argv = {const_cast<char*>("textdemo-gl")};
        for (const char* option : options) argv.push_back(const_cast<char*>(option));
        argv.push_back(nullptr);
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that was stopped
            if (chdir(dir_.c_str()) != 0) _exit(100);
            std::freopen("stdout.txt", "w", stdout);
            std::freopen("stderr.txt", "w", stderr);
            execv(TEXTDEMO_GL_EXECUTABLE, argv.data());
            _exit(101);
        }
    }

    std::string error_output() const {
        std::ifstream in(dir_ + "/stderr.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Exit status after the program ended by itself, as a shell gives it (128 + n for death
    // by signal n), or -1000 if it did not end within the given number of 50 ms polls (10 s
    // by default).
    int wait_for_exit(int polls = 200) {
        for (int i = 0; i < polls; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1000;
    }

    Window search(Window parent, const std::string& prefix) {
        return test::find_mapped_window(display_, parent, prefix);
    }

    // The window whose name starts with prefix, waiting up to 20 s; 0 if none appeared.
    Window find_window(const std::string& prefix) {
        for (int i = 0; i < 200; ++i) {
            if (const Window w = search(DefaultRootWindow(display_), prefix)) return w;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    // Taps a key on a window: down and up 10 ms apart, often within one 16 ms frame.
    void press(Window window, const std::string& key) {
        run_command("timeout 10 xdotool windowfocus --sync " + std::to_string(window) + " keydown " + key + " sleep 0.01 keyup " + key);
    }

    // True once no mapped window's name starts with prefix, polling for up to 2 s.
    bool gone(const std::string& prefix) {
        for (int i = 0; i < 40; ++i) {
            if (search(DefaultRootWindow(display_), prefix) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Answers the start-up question with a key (Return for Yes, Escape for No) and returns
    // the next window whose name starts with next_prefix.
    Window answer_question(const std::string& key, const std::string& next_prefix) {
        const Window question = find_window("Quillmoor");
        EXPECT_NE(question, 0u) << "no \"Fullscreen?\" question";
        press(question, key);
        return find_window(next_prefix);
    }

    // Answers No to the start-up question and returns the show's window.
    Window answer_windowed() { return answer_question("Escape", "QUILLMOOR (OpenGL)"); }

    int window_width(Window window) {
        XWindowAttributes attributes = {};
        XGetWindowAttributes(display_, window, &attributes);
        return attributes.width;
    }

    // The window's top-left 640 x 400 pixels once the show has drawn there (its last pixel
    // is not black any more), waiting up to 10 s; null if it never did.
    XImage* grab_when_drawn(Window window) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            XImage* image = XGetImage(display_, window, 0, 0, 640, 400, AllPlanes, ZPixmap);
            if (image && (XGetPixel(image, 639, 399) & 0xFFFFFF) != 0) return image;
            if (image) XDestroyImage(image);
        }
        return nullptr;
    }

    // Every 8 x 8 cell of the 640 x 400 client area: glyph 10's 4 x 4 corner in the
    // foreground colour (palette 5), the rest in the background colour (palette 12).
    void expect_uniform_cells(Window window) {
        XImage* image = grab_when_drawn(window);
        ASSERT_NE(image, nullptr) << "window never drawn";
        const PaletteColour fg = TextPalette[test::UNIFORM_SHOW_ATTRIBUTE & 15];
        const PaletteColour bg = TextPalette[test::UNIFORM_SHOW_ATTRIBUTE >> 4];
        const unsigned long fg_pixel = channel(fg.red) << 16 | channel(fg.green) << 8 | channel(fg.blue);
        const unsigned long bg_pixel = channel(bg.red) << 16 | channel(bg.green) << 8 | channel(bg.blue);
        int wrong = 0;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 640; ++x) {
                const bool in_glyph = x % 8 < 4 && y % 8 < 4;
                if ((XGetPixel(image, x, y) & 0xFFFFFF) != (in_glyph ? fg_pixel : bg_pixel)) ++wrong;
            }
        }
        XDestroyImage(image);
        EXPECT_EQ(wrong, 0) << "pixels off the expected cells";
    }

    void close_with_button(Window window) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window, False, NoEventMask, &event);
        XFlush(display_);
    }

    std::string dir_;
    pid_t pid_ = -1;
    Display* display_ = nullptr;
};

TEST_F(GlProgram, WindowedShowDrawsKnownCellsAndEscapeQuits) {
    start_program();
    const Window window = answer_windowed();
    ASSERT_NE(window, 0u) << "no show window";
    expect_uniform_cells(window);
    press(window, "Escape");
    EXPECT_EQ(wait_for_exit(), 0);
}

TEST_F(GlProgram, FullscreenThenF1SwitchesToAWindow) {
    start_program();
    const Window fullscreen = answer_question("Return", "QUILLMOOR (OpenGL)");
    ASSERT_NE(fullscreen, 0u) << "no show window";
    EXPECT_EQ(window_width(fullscreen), DisplayWidth(display_, DefaultScreen(display_)));
    XImage* drawn = grab_when_drawn(fullscreen);
    ASSERT_NE(drawn, nullptr) << "fullscreen window never drawn";
    XDestroyImage(drawn);

    press(fullscreen, "F1");
    Window windowed = 0;
    for (int i = 0; i < 100 && (windowed == 0 || windowed == fullscreen); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        windowed = find_window("QUILLMOOR (OpenGL)");
    }
    ASSERT_NE(windowed, fullscreen) << "F1 did not reopen the window";
    EXPECT_EQ(window_width(windowed), 640);
    expect_uniform_cells(windowed);
    press(windowed, "Escape");
    EXPECT_EQ(wait_for_exit(), 0);
}

// The question box runs in a process of its own; a signal ends the program at once, through
// the teardown, and takes the box with it; then the program dies of the signal.
TEST_F(GlProgram, TerminateWhileTheQuestionIsOpenEndsAtOnce) {
    start_program();
    ASSERT_NE(find_window("Quillmoor"), 0u) << "no \"Fullscreen?\" question";
    const auto signalled = std::chrono::steady_clock::now();
    kill(pid_, SIGTERM);
    EXPECT_EQ(wait_for_exit(20), 128 + SIGTERM) << "not ended within a second";
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    EXPECT_TRUE(gone("Quillmoor")) << "the question box outlived the program";
    EXPECT_TRUE(gone("QUILLMOOR (OpenGL)"));
}

// Hang-up and interrupt end the show through the teardown (the window closes), then the
// program dies of the signal, so a shell sees 129 and 130.
TEST_F(GlProgram, HangUpAndInterruptEndTheShowThroughTeardownThenKillIt) {
    for (const int signal_number : {SIGHUP, SIGINT}) {
        start_program();
        const Window window = answer_windowed();
        ASSERT_NE(window, 0u) << "no show window";
        XImage* drawn = grab_when_drawn(window);
        ASSERT_NE(drawn, nullptr) << "window never drawn";
        XDestroyImage(drawn);
        kill(pid_, signal_number);
        EXPECT_EQ(wait_for_exit(), 128 + signal_number);
        EXPECT_TRUE(gone("QUILLMOOR (OpenGL)"));
    }
}

TEST_F(GlProgram, CloseButtonEndsTheShow) {
    start_program();
    const Window window = answer_windowed();
    ASSERT_NE(window, 0u) << "no show window";
    close_with_button(window);
    EXPECT_EQ(wait_for_exit(), 0);
}

// --window and --fullscreen answer the question: the show's window comes without it, and
// "m" (mute) leaves the show running.
TEST_F(GlProgram, WindowAndFullscreenOptionsSkipTheQuestion) {
    for (const char* option : {"--window", "--fullscreen"}) {
        SCOPED_TRACE(option);
        start_program({option, "--mute"});
        const Window window = find_window("QUILLMOOR (OpenGL)");
        ASSERT_NE(window, 0u) << "no show window";
        EXPECT_EQ(search(DefaultRootWindow(display_), "Quillmoor"), 0u) << "the question was asked";
        const bool windowed = std::string(option) == "--window";
        EXPECT_EQ(window_width(window), windowed ? 640 : DisplayWidth(display_, DefaultScreen(display_)));
        if (windowed) expect_uniform_cells(window);
        press(window, "m");
        EXPECT_EQ(waitpid(pid_, nullptr, WNOHANG), 0) << "the show ended on m";
        press(window, "Escape");
        EXPECT_EQ(wait_for_exit(), 0);
    }
}

// Run on an X server without GLX: the window cannot have OpenGL. After the question and the
// "ERROR" box the program says so on standard error and fails.
using GlWithoutOpenGL = GlProgram;

TEST_F(GlWithoutOpenGL, SaysOpenGLFailedAndExitsNonZero) {
    start_program();
    const Window error_box = answer_question("Return", "ERROR");
    ASSERT_NE(error_box, 0u) << "no \"ERROR\" box";
    press(error_box, "Return");
    EXPECT_EQ(wait_for_exit(), 1);
    EXPECT_EQ(error_output().find("Fullscren"), std::string::npos) << error_output();
    EXPECT_NE(error_output().find("textdemo-gl: unable to init OpenGL: "), std::string::npos) << error_output();
}

}  // namespace
