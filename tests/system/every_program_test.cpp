// What every program does alike, run as a user runs it: a standard output that loses what
// was printed (a full disk, a closed descriptor) is an error with one line and exit code 1;
// an archive that is a huge sparse file, a file of zeros, a FIFO nobody writes or a device
// is refused at once with one line and a non-zero exit code (the players in a terminal of
// their own, as they refuse to start without one).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace textdemo {
namespace {

namespace fs = std::filesystem;

struct Program {
    const char* name;
    const char* path;
};
const Program PROGRAMS[] = {
    {"salad", SALAD_EXECUTABLE},
    {"textdemo-capture", CAPTURE_EXECUTABLE},
    {"textdemo-console", TEXTDEMO_CONSOLE_PROGRAM},
    {"textdemo-gl", TEXTDEMO_GL_PROGRAM},
};

struct Outcome {
    int exit_code;
    std::string errors;  // standard error
};

// `program` with `args`, standard output sent where `to_stdout` says (">/dev/full", ">&-").
Outcome run(const Program& program, const std::string& args, const std::string& to_stdout) {
    const fs::path log = fs::path(::testing::TempDir()) / ("every_program_" + std::to_string(getpid()) + ".log");
    const std::string command = "'" + std::string(program.path) + "' " + args + " " + to_stdout + " 2>'" + log.string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream in(log);
    Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(std::istreambuf_iterator<char>(in), {})};
    fs::remove(log);
    return result;
}

TEST(EveryProgram, ALostStandardOutputIsAnError) {
    for (const Program& program : PROGRAMS) {
        SCOPED_TRACE(program.name);
        const std::string name = program.name;
        const Outcome full = run(program, "--help", ">/dev/full");
        EXPECT_EQ(full.exit_code, 1);
        EXPECT_EQ(full.errors, name + ": cannot write standard output: No space left on device\n");
        const Outcome closed = run(program, "--help", ">&-");
        EXPECT_EQ(closed.exit_code, 1);
        EXPECT_EQ(closed.errors, name + ": cannot write standard output: Bad file descriptor\n");
        EXPECT_EQ(run(program, "--help", ">/dev/null").exit_code, 0);
    }
    for (const Program& program : {PROGRAMS[2], PROGRAMS[3]}) {
        SCOPED_TRACE(program.name);
        const Outcome version = run(program, "--version", ">&-");
        EXPECT_EQ(version.exit_code, 1);
        EXPECT_EQ(version.errors, std::string(program.name) + ": cannot write standard output: Bad file descriptor\n");
    }
}

// `args` run with standard input, output and error on a terminal of their own, TERM set;
// what the terminal showed (carriage returns dropped) and the exit code, or -1 when the
// program was still running after `seconds` (it is then killed).
Outcome run_in_terminal(const std::vector<std::string>& args, int seconds) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", "xterm-256color", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Outcome outcome{-1, ""};
    if (child < 0) return outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 50) > 0) {
            char buffer[4096];
            const ssize_t got = read(master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < got; ++i)
                if (buffer[i] != '\r') outcome.errors += buffer[i];
        }
        ended = waitpid(child, &status, WNOHANG) == child;
    }
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    } else {
        outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    close(master);
    return outcome;
}

TEST(EveryProgram, ArchivesThatAreNoArchivesAreRefusedAtOnce) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("every_program_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // 100 GB that take no room, twelve zero bytes (a count of 0 if only the count were read),
    // a FIFO nobody writes to, and a device without end.
    const std::string huge = (dir / "huge.salad").string(), zeros = (dir / "zeros.salad").string(),
                      fifo = (dir / "fifo.salad").string();
    const int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 100ll << 30), 0);
    close(fd);
    std::ofstream(zeros, std::ios::binary) << std::string(12, '\0');
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);

    const std::string words = (dir / "words.bin").string();
    for (const std::string& archive : {huge, zeros, fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(archive);
        const std::vector<std::vector<std::string>> commands = {
            {SALAD_EXECUTABLE, "list", archive},
            {SALAD_EXECUTABLE, "extract", archive, (dir / "out").string()},
            {CAPTURE_EXECUTABLE, "--archive", archive, "--at", "0", "--words", words},
            {TEXTDEMO_CONSOLE_PROGRAM, "--archive", archive},
            {TEXTDEMO_GL_PROGRAM, "--archive", archive, "--window"},
        };
        for (const std::vector<std::string>& command : commands) {
            SCOPED_TRACE(command[0]);
            const Outcome outcome = run_in_terminal(command, 20);
            EXPECT_GT(outcome.exit_code, 0) << outcome.errors;  // -1: still running after 20 s
            EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1) << outcome.errors;
            EXPECT_NE(outcome.errors.find(archive), std::string::npos) << outcome.errors;
        }
        EXPECT_FALSE(fs::exists(words));
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace textdemo
