// The real textdemo-gl when the window system fails it, each run on an X server of its own:
// the window destroyed from outside (xdotool windowclose), the connection killed (xdotool
// windowkill), the X server killed mid-show, windowed and fullscreen; a server that takes
// the connection and never answers; an OpenGL driver that cannot be loaded; no display at
// all. Every run must end within 2 s of the fault with one line of its own on standard error
// and exit code 1 (death by the signal when one asked for the stop), with no Xlib or libGL
// text. TEXTDEMO_FAULT_RUNS sets the runs of each case (default 2).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/show_archive.hpp"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include "tests/gl/x_windows.hpp"

using namespace textdemo;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto FAULT_TO_EXIT = std::chrono::seconds(2);
constexpr const char* SHOW_WINDOW = "QUILLMOOR (OpenGL)";

int runs_per_case() {
    const char* runs = std::getenv("TEXTDEMO_FAULT_RUNS");
    return runs != nullptr && std::atoi(runs) > 0 ? std::atoi(runs) : 2;
}

bool installed(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string file_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How a run ended: as a shell reports it (128 + n for death by signal n), -1 if it had not
// ended in time (it is killed then), and how long after the fault.
struct RunEnd {
    int status = -1;
    Clock::duration after_fault{};
};

// A listening socket on the abstract name of the first free local display from a number of
// the process's own: Xlib tries that name first, and it leaves no file behind. A display is
// free when neither its name is bound (the network namespace's, shared with servers whose
// /tmp is another) nor its lock file exists.
struct AbstractSocket {
    int fd = -1;
    int number = -1;

    AbstractSocket() {
        for (int candidate = 100 + getpid() % 800; candidate < 1000 && fd < 0; ++candidate) {
            if (access(("/tmp/.X" + std::to_string(candidate) + "-lock").c_str(), F_OK) == 0) continue;
            const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address = {};
            address.sun_family = AF_UNIX;
            const std::string name = "/tmp/.X11-unix/X" + std::to_string(candidate);
            std::memcpy(address.sun_path + 1, name.data(), name.size());
            const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
            if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(listener, 4) == 0) {
                fd = listener;
                number = candidate;
            } else {
                close(listener);
            }
        }
    }
    AbstractSocket(const AbstractSocket&) = delete;
    AbstractSocket& operator=(const AbstractSocket&) = delete;
    ~AbstractSocket() { free_name(); }

    void free_name() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

class GlFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (!installed("Xvfb") || !installed("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is not installed";
        char pattern[] = "/tmp/textdemo-gl-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(test::write_uniform_show_archive(dir_ + "/ruk.salad", 20000, std::vector<std::uint32_t>(256 * 256)));
    }
    void TearDown() override {
        end_program();
        end_server();
        if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
    }

    // An Xvfb of the case's own on a free display, whose name ":N" goes to display_.
    void start_server() {
        AbstractSocket probe;
        ASSERT_GE(probe.number, 0) << "no free display number";
        display_ = ":" + std::to_string(probe.number);
        probe.free_name();  // for the server to take
        server_ = fork();
        ASSERT_GE(server_, 0);
        if (server_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            std::freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", display_.c_str(), "-noreset", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        // Up once it takes a connection (-noreset: the last client leaving does not restart it).
        Display* display = nullptr;
        for (int i = 0; i < 200 && display == nullptr; ++i) {
            if ((display = XOpenDisplay(display_.c_str())) == nullptr)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_NE(display, nullptr) << "Xvfb did not start on " << display_;
        XCloseDisplay(display);
    }
    // Terminated, so that it removes its socket and lock file; killed if it hangs.
    void end_server() {
        if (server_ <= 0) return;
        kill(server_, SIGTERM);
        for (int i = 0; i < 500 && waitpid(server_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(server_, SIGKILL);
        waitpid(server_, nullptr, 0);
        server_ = -1;
    }

    // textdemo-gl in the case's folder on display_ with `options`, the music muted, its output
    // in files; `environment` adds NAME=VALUE settings.
    void start_program(const std::vector<std::string>& options, const std::vector<std::string>& environment = {}) {
        program_ = fork();
        ASSERT_GE(program_, 0);
        if (program_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (chdir(dir_.c_str()) != 0) _exit(100);
            std::freopen("stdout.txt", "w", stdout);
            std::freopen("stderr.txt", "w", stderr);
            setenv("DISPLAY", display_.c_str(), 1);
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("XAUTHORITY");
            for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
            std::vector<char*> argv = {const_cast<char*>("textdemo-gl"), const_cast<char*>("--mute")};
            for (const std::string& option : options) argv.push_back(const_cast<char*>(option.c_str()));
            argv.push_back(nullptr);
            execv(TEXTDEMO_GL_EXECUTABLE, argv.data());
            _exit(101);
        }
    }
    void end_program() {
        if (program_ <= 0) return;
        kill(program_, SIGKILL);
        waitpid(program_, nullptr, 0);
        program_ = -1;
    }

    // Waits for the program to end, up to FAULT_TO_EXIT after `fault`; killed if it did not.
    RunEnd wait_for_end(Clock::time_point fault) {
        RunEnd end;
        while (Clock::now() - fault < FAULT_TO_EXIT) {
            int status = 0;
            if (waitpid(program_, &status, WNOHANG) == program_) {
                program_ = -1;
                end.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                end.after_fault = Clock::now() - fault;
                return end;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        end_program();
        end.after_fault = Clock::now() - fault;
        return end;
    }

    // The window whose name starts with prefix, once mapped, waiting up to 20 s; 0 if none
    // came. The test's own connection is closed again, so that it outlives a killed server.
    unsigned long wait_for_window(const char* prefix) {
        Display* display = XOpenDisplay(display_.c_str());
        if (display == nullptr) {
            ADD_FAILURE() << "cannot open display " << display_;
            return 0;
        }
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows come and go while looked at
        Window found = 0;
        for (int i = 0; i < 200 && found == 0; ++i) {
            found = test::find_mapped_window(display, DefaultRootWindow(display), prefix);
            if (found == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        XCloseDisplay(display);
        if (found == 0) ADD_FAILURE() << "no window " << prefix << "; the program said: " << file_text(dir_ + "/stderr.txt");
        return found;
    }

    // The show's window after it has been up for a few frames.
    unsigned long wait_for_show() {
        const unsigned long window = wait_for_window(SHOW_WINDOW);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return window;
    }

    void xdotool(const std::string& arguments) {
        const std::string command = "DISPLAY=" + display_ + " timeout 10 xdotool " + arguments + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }

    // The end within FAULT_TO_EXIT with `status`, and one line on standard error that starts
    // with `line_start`; nothing from Xlib or libGL in either output.
    void expect_end(const RunEnd& end, int status, const std::string& line_start) {
        EXPECT_EQ(end.status, status) << (end.status < 0 ? "still running 2 s after the fault" : "");
        const std::string errors = file_text(dir_ + "/stderr.txt");
        EXPECT_EQ(errors.rfind(line_start, 0), 0u) << errors;
        EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "not one line: " << errors;
        for (const std::string& output : {errors, file_text(dir_ + "/stdout.txt")}) {
            for (const char* library_text : {"X Error", "XIO", "Xlib", "libGL", "MESA", "zenity"})
                EXPECT_EQ(output.find(library_text), std::string::npos) << output;
        }
    }

    std::string dir_;
    std::string display_;
    pid_t server_ = -1;
    pid_t program_ = -1;
};

// A fault from outside during the show, in each mode: the program must notice it by itself.
struct OutsideFault {
    const char* name;
    const char* line_start;
};

class GlShowFaults : public GlFaults, public ::testing::WithParamInterface<OutsideFault> {};

TEST_P(GlShowFaults, EndsWithOneLineAndExitCodeOne) {
    const OutsideFault fault = GetParam();
    for (const char* mode : {"--window", "--fullscreen"}) {
        for (int run = 0; run < runs_per_case(); ++run) {
            SCOPED_TRACE(std::string(mode) + " run " + std::to_string(run + 1));
            ASSERT_NO_FATAL_FAILURE(start_server());
            start_program({mode});
            const unsigned long window = wait_for_show();
            ASSERT_NE(window, 0u) << "no show window";
            const Clock::time_point at = Clock::now();
            if (std::string(fault.name) == "server_killed") kill(server_, SIGTERM);
            else xdotool(std::string(fault.name) + " " + std::to_string(window));
            expect_end(wait_for_end(at), 1, fault.line_start);
            end_server();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GlShowFaults,
    ::testing::Values(OutsideFault{"windowclose", "textdemo-gl: the X server refused "},
                      OutsideFault{"windowkill", "textdemo-gl: the connection to the X server was lost"},
                      OutsideFault{"server_killed", "textdemo-gl: the connection to the X server was lost"}),
    [](const ::testing::TestParamInfo<OutsideFault>& info) { return std::string(info.param.name); });

// A server that accepts the program's connection and never answers.
class SilentServer {
public:
    SilentServer() { display = socket_.number >= 0 ? ":" + std::to_string(socket_.number) : ""; }
    ~SilentServer() {
        if (client_ >= 0) close(client_);
    }
    // Waits up to 20 s for the program's connection; false if none came.
    bool accept_connection() {
        pollfd ready = {socket_.fd, POLLIN, 0};
        if (socket_.fd < 0 || poll(&ready, 1, 20000) != 1) return false;
        client_ = accept4(socket_.fd, nullptr, nullptr, SOCK_CLOEXEC);
        return client_ >= 0;
    }

    std::string display;

private:
    AbstractSocket socket_;
    int client_ = -1;
};

// Given up by itself at its deadline, and at once on a termination signal, which it then
// dies of.
TEST_F(GlFaults, SilentServerIsGivenUp) {
    for (const int signal_number : {0, SIGTERM, SIGINT}) {
        for (int run = 0; run < runs_per_case(); ++run) {
            SCOPED_TRACE("signal " + std::to_string(signal_number) + " run " + std::to_string(run + 1));
            SilentServer server;
            ASSERT_FALSE(server.display.empty()) << "no free display number";
            display_ = server.display;
            start_program({"--window"});
            ASSERT_TRUE(server.accept_connection()) << "the program never connected";
            const Clock::time_point at = Clock::now();
            if (signal_number != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                kill(program_, signal_number);
            }
            expect_end(wait_for_end(at), signal_number == 0 ? 1 : 128 + signal_number,
                       "textdemo-gl: the X server does not answer");
        }
    }
}

// The server refuses the GL context: the "ERROR" box, then one line once it is answered.
TEST_F(GlFaults, BrokenOpenGLDriverSaysSoInOneLine) {
    const std::vector<std::vector<std::string>> drivers = {{"LIBGL_DRIVERS_PATH=/nonexistent"},
                                                           {"LIBGL_ALWAYS_INDIRECT=1"},
                                                           {"LIBGL_DRIVERS_PATH=/nonexistent", "LIBGL_ALWAYS_INDIRECT=1"}};
    for (const std::vector<std::string>& environment : drivers) {
        for (int run = 0; run < runs_per_case(); ++run) {
            SCOPED_TRACE(environment.back() + " run " + std::to_string(run + 1));
            ASSERT_NO_FATAL_FAILURE(start_server());
            start_program({"--window"}, environment);
            const unsigned long box = wait_for_window("ERROR");
            ASSERT_NE(box, 0u) << "no \"ERROR\" box";
            const Clock::time_point at = Clock::now();
            xdotool("windowfocus --sync " + std::to_string(box) + " key Return");
            expect_end(wait_for_end(at), 1, "textdemo-gl: unable to init OpenGL: the X server refused ");
            end_server();
        }
    }
}

// An empty DISPLAY: one line, and no message box tried, not even "Fullscreen?" (SDL's box
// would start a toolkit program that says more).
TEST_F(GlFaults, NoDisplayIsOneLine) {
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{{}, {"--window"}, {"--fullscreen"}}) {
        SCOPED_TRACE(options.empty() ? "asking" : options[0]);
        display_.clear();
        start_program(options);
        expect_end(wait_for_end(Clock::now()), 1, "textdemo-gl: unable to create the window: no X11 or Wayland display");
    }
}

}  // namespace
