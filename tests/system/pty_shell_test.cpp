// textdemo-console in a pty pair of the test's own that answers like kitty: the kitty
// graphics query with "OK" and every device attributes request (the queries' last, and the
// pacing's probes), at once or, for the queries, late, as a busy kitty does.
// - Job control: started from an interactive bash, the show is stopped (kill -TSTP) at
//   random moments and brought back (fg), many times, every other time after a while in
//   the background (bg). Between the give-back (leaving the alternate screen) and the next
//   take-over, the program must write no frame and no picture: a frame made when the stop
//   came is either written before the give-back or never.
// - Late answers: a terminal that answers the queries only after the start's wait still
//   gets the pixels layout once its answers come, and the picture removed at the end.
//
// Needs the show archive (TEXTDEMO_SHOW_ARCHIVE, else the one the build packs) and bash.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/console_sequences.hpp"
#include "tests/support/pty_program.hpp"
#include "tests/support/show_resources.hpp"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace textdemo {
namespace {

constexpr std::string_view KITTY_PICTURE = "\x1b_Ga=T";
constexpr std::string_view KITTY_DELETE = "\x1b_Ga=d,d=I";
constexpr std::string_view KITTY_QUERY = "\x1b_Gi=31,s=1,v=1,a=q";
constexpr std::string_view KITTY_OK = "\x1b_Gi=31;OK\x1b\\";
constexpr std::string_view KITTY_ATTRIBUTES = "\x1b[?62;c";
constexpr std::string_view STOPPED = "Stopped";
// 160 x 51 cells of 8 x 16 pixels: the window's picture enlarged twice, whose frames take
// long enough to make that a random stop often comes in the middle of one.
constexpr unsigned short ROWS = 51, COLUMNS = 160, WIDTH_PIXELS = 1280, HEIGHT_PIXELS = 816;
constexpr int STOPS = 15;  // stops, each followed by fg, after bg every other time

// What the program wrote, counted as it came: the screens it was on, its frames and
// pictures, and those written while the shell had the terminal.
struct Seen {
    int give_backs = 0, take_overs = 0;
    int frames = 0, pictures = 0, deletes = 0;
    int frames_lent = 0, pictures_lent = 0;
    int stopped_lines = 0;
    int frames_since_take_over = 0, pictures_since_take_over = 0;
    bool lent = false;
    pid_t pid = -1;  // as the start line printed it
    // What each `fg` returned: 148 where the show was stopped again, its exit code at last.
    int exits = 0, exit_code = -1;
};

std::string describe(const Seen& s) {
    return "give-backs " + std::to_string(s.give_backs) + ", take-overs " + std::to_string(s.take_overs) + ", frames " +
           std::to_string(s.frames) + " (" + std::to_string(s.frames_lent) + " lent), pictures " +
           std::to_string(s.pictures) + " (" + std::to_string(s.pictures_lent) + " lent), \"Stopped\" " +
           std::to_string(s.stopped_lines) + ", on the " + (s.lent ? "main" : "alternate") + " screen";
}

// The pty, its reader and the answers it sends: the kitty query's and the first device
// attributes' first_delay after they were asked, later ones at once, always in order.
class KittyPty {
public:
    KittyPty(std::vector<const char*> command, std::chrono::milliseconds first_delay) : first_delay_(first_delay) {
        winsize size{ROWS, COLUMNS, WIDTH_PIXELS, HEIGHT_PIXELS};
        int slave = -1;
        EXPECT_EQ(openpty(&master_, &slave, nullptr, nullptr, &size), 0);
        if (master_ < 0) return;
        child_ = test::start_in_pty(master_, slave, std::move(command));
        close(slave);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~KittyPty() {
        if (child_ > 0 && waitpid(child_, nullptr, WNOHANG) == 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (seen_.pid > 0) kill(seen_.pid, SIGKILL);  // the show, if the shell left it running
        if (master_ >= 0) close(master_);
    }

    void type(std::string_view text) { EXPECT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }

    // Reads, answers and counts for `duration`, or until done(seen) holds; its last value.
    template <typename Done>
    bool pump(std::chrono::milliseconds duration, Done done) {
        const auto end = Clock::now() + duration;
        while (!done(seen_)) {
            if (Clock::now() >= end) return false;
            pollfd readable{master_, POLLIN, 0};
            poll(&readable, 1, 5);
            char bytes[65536];
            ssize_t got;
            while ((got = read(master_, bytes, sizeof bytes)) > 0) text_.append(bytes, static_cast<std::size_t>(got));
            scan();
            while (!answers_.empty() && answers_.front().due <= Clock::now()) {
                type(answers_.front().bytes);
                answers_.pop_front();
            }
        }
        return true;
    }
    void pump(std::chrono::milliseconds duration) {
        pump(duration, [](const Seen&) { return false; });
    }

    const Seen& seen() const { return seen_; }

private:
    struct Answer {
        Clock::time_point due;
        std::string_view bytes;
    };

    void answer(std::string_view bytes, bool first) {
        Clock::time_point due = Clock::now() + (first ? first_delay_ : 0ms);
        if (!answers_.empty() && answers_.back().due > due) due = answers_.back().due;
        answers_.push_back({due, bytes});
    }

    // The number after `label` at `at` once its line is complete (false until then), or -1
    // where none follows (the shell's echo of the command line).
    bool read_number(std::size_t at, std::string_view label, int& number) {
        if (text_.find_first_of("\r\n", at) == std::string::npos) return false;
        const char next = text_[at + label.size()];
        number = next >= '0' && next <= '9' ? std::atoi(text_.c_str() + at + label.size()) : -1;
        return true;
    }

    void scan() {
        static constexpr std::string_view PID = "PID:", EXIT = "EXIT:";
        const std::string_view tokens[] = {MAIN_SCREEN,        ALTERNATE_SCREEN, FRAME_START, KITTY_PICTURE, KITTY_DELETE,
                                           KITTY_QUERY,        ATTRIBUTES_REQUEST, STOPPED,   PID,           EXIT};
        for (;;) {
            std::size_t first = std::string::npos;
            std::string_view token;
            for (const std::string_view t : tokens) {
                const std::size_t at = text_.find(t, scanned_);
                if (at < first) first = at, token = t;
            }
            if (first == std::string::npos) break;
            int number = 0;
            if ((token == PID || token == EXIT) && !read_number(first, token, number)) break;
            scanned_ = first + token.size();
            if (number >= 0) count(token, number);
        }
        // What may be the start of a token cut by the read stays.
        if (text_.size() > scanned_ + 31) scanned_ = text_.size() - 31;
        if (scanned_ > (1u << 20)) {
            text_.erase(0, scanned_);
            scanned_ = 0;
        }
    }

    void count(std::string_view token, int number) {
        Seen& s = seen_;
        if (token == MAIN_SCREEN) {
            s.lent = true;
            ++s.give_backs;
        } else if (token == ALTERNATE_SCREEN) {
            s.lent = false;
            ++s.take_overs;
            s.frames_since_take_over = s.pictures_since_take_over = 0;
        } else if (token == FRAME_START) {
            ++(s.lent ? s.frames_lent : s.frames);
            ++s.frames_since_take_over;
        } else if (token == KITTY_PICTURE) {
            ++(s.lent ? s.pictures_lent : s.pictures);
            ++s.pictures_since_take_over;
        } else if (token == KITTY_DELETE) {
            ++s.deletes;
        } else if (token == KITTY_QUERY) {
            answer(KITTY_OK, true);
        } else if (token == ATTRIBUTES_REQUEST) {
            answer(KITTY_ATTRIBUTES, !attributes_asked_);
            attributes_asked_ = true;
        } else if (token == STOPPED) {
            ++s.stopped_lines;
        } else if (token == "PID:") {
            s.pid = number;
        } else {
            ++s.exits;
            s.exit_code = number;
        }
    }

    int master_ = -1;
    pid_t child_ = -1;
    std::chrono::milliseconds first_delay_;
    std::string text_;
    std::size_t scanned_ = 0;
    std::deque<Answer> answers_;
    bool attributes_asked_ = false;
    Seen seen_;
};

class PtyShell : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(test::show_archive_path())) GTEST_SKIP() << "no show archive";
        if (std::system("command -v bash >/dev/null 2>&1") != 0) GTEST_SKIP() << "bash is not installed";
    }
};

// The show's command line for bash: the pid first (the job's), then the program.
std::string show_command_line(const char* arguments) {
    return "sh -c 'echo PID:$$; exec \"$0\" --archive \"$1\" " + std::string(arguments) + "' '" +
           TEXTDEMO_CONSOLE_PROGRAM + "' '" + test::show_archive_path() + "'\r";
}

// Stops at random moments of the frames, in the pixels and the half layouts.
void expect_stops_to_write_nothing_until_fg(const char* arguments, bool pixels) {
    KittyPty pty({"TERM=xterm-kitty", "COLORTERM=truecolor", "LC_ALL=C.UTF-8", "PS1=$ ", "/bin/bash", "--norc",
                  "--noprofile", "-i"},
                 0ms);
    pty.pump(500ms);
    pty.type(show_command_line(arguments));
    const auto drawing = [pixels](const Seen& s) {
        return s.pid > 0 && !s.lent && s.take_overs > 0 && (pixels ? s.pictures_since_take_over : s.frames_since_take_over) > 3;
    };
    ASSERT_TRUE(pty.pump(60s, drawing)) << "the show never drew";
    std::mt19937 random(12345);
    for (int stop = 1; stop <= STOPS; ++stop) {
        pty.pump(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 200)(random)));
        kill(pty.seen().pid, SIGTSTP);
        ASSERT_TRUE(pty.pump(10s, [stop](const Seen& s) { return s.stopped_lines >= stop && s.lent; }))
            << "stop " << stop << " did not give the terminal back: " << describe(pty.seen());
        if (stop % 2 == 0) {
            pty.type("bg\r");
            pty.pump(300ms);  // in the background: nothing may be drawn
        }
        pty.type("fg; echo EXIT:$?\r");
        ASSERT_TRUE(pty.pump(10s, drawing)) << "fg " << stop << " did not bring the picture back: " << describe(pty.seen());
    }
    pty.type("\x1b");
    ASSERT_TRUE(pty.pump(10s, [](const Seen& s) { return s.exits == STOPS; }));
    const Seen& seen = pty.seen();
    SCOPED_TRACE(describe(seen));
    EXPECT_EQ(seen.exit_code, 0);
    EXPECT_EQ(seen.give_backs, STOPS + 1);
    EXPECT_EQ(seen.take_overs, STOPS + 1);
    EXPECT_EQ(seen.frames_lent, 0);
    EXPECT_EQ(seen.pictures_lent, 0);
    EXPECT_TRUE(seen.lent);
    if (pixels) {
        EXPECT_GE(seen.deletes, STOPS + 1);
    }
}

TEST_F(PtyShell, StoppedPixelsShowWritesNothingUntilBroughtBack) {
    expect_stops_to_write_nothing_until_fg("--layout pixels", true);
}

TEST_F(PtyShell, StoppedHalfShowWritesNothingUntilBroughtBack) {
    expect_stops_to_write_nothing_until_fg("--layout half", false);
}

// kitty's answers 1.5 s late, long after the 8 frames' wait: the show starts in the half
// layout, takes pixels once they come, and removes the picture at the end.
TEST_F(PtyShell, AnswersAfterTheStartsWaitStillBringThePixels) {
    const std::string archive = test::show_archive_path();
    KittyPty pty({"TERM=xterm-kitty", "COLORTERM=truecolor", "LC_ALL=C.UTF-8", TEXTDEMO_CONSOLE_PROGRAM, "--archive",
                  archive.c_str()},
                 1500ms);
    ASSERT_TRUE(pty.pump(60s, [](const Seen& s) { return s.frames > 0; })) << "the show never drew";
    const auto first_frame = Clock::now();
    ASSERT_TRUE(pty.pump(10s, [](const Seen& s) { return s.pictures > 3; })) << "no picture after the late answers";
    EXPECT_GT(Clock::now() - first_frame, 500ms) << "the answers were not late";
    EXPECT_GT(pty.seen().frames, pty.seen().pictures) << "no text frames before the pictures";
    pty.type("\x1b");
    ASSERT_TRUE(pty.pump(10s, [](const Seen& s) { return s.lent; }));
    pty.pump(300ms);
    EXPECT_EQ(pty.seen().deletes, 1);
}

}  // namespace
}  // namespace textdemo
