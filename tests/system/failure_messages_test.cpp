// The programs on archives they cannot use: a missing one, a damaged one, one whose pattern
// dump or mesh is damaged. Each program says so in one line on standard error, prefixed
// with its name, and exits with 255 (textdemo-console in a terminal of its own, made by
// script(1)).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resources/archive.hpp"
#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/show_resources.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ProgramRun {
    int exit_code;
    std::string out, err;
};

class FailureMessages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::path(::testing::TempDir()) / ("failure_messages_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        ASSERT_TRUE(test::use_show_archive());
        const ResourceArchive& show = resource_archive();
        std::vector<PackItem> items;
        for (int i = 0; i < show.count; ++i) {
            const ResourceEntry& entry = show.entries[i];
            items.push_back({std::string(entry.name, strnlen(entry.name, RESOURCE_NAME_LENGTH)),
                             std::vector<std::uint8_t>(entry.data, entry.data + entry.size)});
        }
        release_resource_archive();
        write_with(items, "patterndata.bin", std::vector<std::uint8_t>(100, 0), "bad_dump.salad");
        write_with(items, MESH_NAME, {0, 0, 0, 1, 0}, "bad_mesh.salad");
        std::vector<std::uint8_t> damaged;
        ASSERT_TRUE(read_file_bytes(test::show_archive_path(), damaged));
        damaged[6] = 0xFF, damaged[7] = 0xFF;  // entry count -1
        ASSERT_TRUE(write_file_bytes((dir_ / "damaged.salad").string(), damaged));
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    // The show's entries with `name` holding `bytes` instead, packed as `file`.
    static void write_with(std::vector<PackItem> items, const char* name, const std::vector<std::uint8_t>& bytes,
                           const char* file) {
        for (PackItem& item : items)
            if (item.name == name) item.data = bytes;
        std::vector<std::uint8_t> archive;
        ASSERT_EQ(build_archive(items, false, archive), "");
        ASSERT_TRUE(write_file_bytes((dir_ / file).string(), archive));
    }

    // Runs `command` in the test folder, its standard output and error into files.
    static ProgramRun run_in_folder(const std::string& command) {
        const std::string line = "cd '" + dir_.string() + "' && " + command + " >out.txt 2>err.txt";
        const int status = std::system(line.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(dir_ / "out.txt"), read_text(dir_ / "err.txt")};
    }

    // Each program on `archive`: one line `message` after its name on standard error, 255.
    static void expect_each_program_says(const std::string& archive, const std::string& message, bool needs_display) {
        const std::string option = " --archive '" + archive + "'";
        const ProgramRun capture = run_in_folder(std::string("'") + CAPTURE_EXECUTABLE + "'" + option + " --at 0 --words w.bin");
        EXPECT_EQ(capture.err, "textdemo-capture: " + message + "\n");
        EXPECT_EQ(capture.exit_code, 255);
        EXPECT_EQ(capture.out, "");
        // A terminal of its own; the console's standard error still goes to the file.
        const std::string console = std::string("'") + TEXTDEMO_CONSOLE_PROGRAM + "'" + option + " 2>console_err.txt";
        const ProgramRun in_terminal = run_in_folder("TERM=xterm script -qec \"" + console + "\" /dev/null");
        EXPECT_EQ(read_text(dir_ / "console_err.txt"), "textdemo-console: " + message + "\n");
        EXPECT_EQ(in_terminal.exit_code, 255);
        if (needs_display) return;  // the window program fails on its window first
        const ProgramRun window = run_in_folder(std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + TEXTDEMO_GL_PROGRAM + "' --window" + option);
        EXPECT_EQ(window.err, "textdemo-gl: " + message + "\n");
        EXPECT_EQ(window.exit_code, 255);
    }

    static constexpr const char* MESH_NAME = "pineapple3.ase.bin";
    static fs::path dir_;
};

fs::path FailureMessages::dir_;

TEST_F(FailureMessages, AMissingArchive) {
    expect_each_program_says("none.salad", "unable to open none.salad: No such file or directory", false);
}

TEST_F(FailureMessages, ADamagedArchive) {
    const std::string path = (dir_ / "damaged.salad").string();
    expect_each_program_says(path, "damaged resource archive " + path + ": entry count -1 is outside 0..100", false);
}

TEST_F(FailureMessages, ABadPatternDump) {
    expect_each_program_says("bad_dump.salad", "pattern dump \"patterndata.bin\" is malformed: size 100", false);
}

// Found while the timeline is built: the console has taken its terminal over by then.
TEST_F(FailureMessages, ABadMesh) {
    expect_each_program_says("bad_mesh.salad",
                             "mesh \"pineapple3.ase.bin\" is damaged: only 5 bytes, shorter than its header", true);
}

}  // namespace
}  // namespace textdemo
