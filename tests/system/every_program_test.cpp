// What every program does alike, run as a user runs it: a standard output that loses what
// was printed (a full disk, a closed descriptor) is an error with one line and exit code 1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

}  // namespace
}  // namespace textdemo
