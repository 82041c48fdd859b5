// An archive file is judged by its kind, size and magic before its contents are read: a
// FIFO (writer or not), a device, a huge sparse file or a file of zeros is refused at once
// with one phrase; a directory or a missing file fails with the system's reason.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "resources/archive_file.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/archive_bytes.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class ArchiveFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("archive_file_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // read_archive_file on `path`: "read N bytes", the problem, or "errno: reason".
    static std::string outcome(const std::string& path) {
        Bytes bytes{9, 9};
        std::string problem;
        errno = 0;
        if (read_archive_file(path, bytes, problem)) return "read " + std::to_string(bytes.size()) + " bytes";
        EXPECT_TRUE(bytes.empty());
        return problem.empty() ? std::string("errno: ") + std::strerror(errno) : problem;
    }

    fs::path dir_;
};

TEST_F(ArchiveFileTest, OnlyARegularFileWithinTheLimitsThatStartsWithTheMagicIsRead) {
    const Bytes archive = test::archive_file({test::RawEntry::stored_as_is("a", {1, 2, 3})});
    ASSERT_TRUE(write_file_bytes((dir_ / "good.salad").string(), archive));
    EXPECT_EQ(outcome((dir_ / "good.salad").string()), "read " + std::to_string(archive.size()) + " bytes");

    ASSERT_TRUE(write_file_bytes((dir_ / "zeros.salad").string(), Bytes(12, 0)));
    EXPECT_EQ(outcome((dir_ / "zeros.salad").string()), "does not start with \"SALAD\"");
    ASSERT_TRUE(write_file_bytes((dir_ / "empty.salad").string(), Bytes{}));
    EXPECT_EQ(outcome((dir_ / "empty.salad").string()), "does not start with \"SALAD\"");

    // 100 GB that take no room: judged by the size fstat gives, never read.
    const int fd = open((dir_ / "huge.salad").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 100ll << 30), 0);
    close(fd);
    EXPECT_EQ(outcome((dir_ / "huge.salad").string()),
              "file of 107374182400 bytes is larger than an archive can be (268439868 bytes)");
}

TEST_F(ArchiveFileTest, FifosAndDevicesAreRefusedWithoutWaitingOrReading) {
    const std::string fifo = (dir_ / "pipe.salad").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(outcome(fifo), "not a regular file (a FIFO or a device)");  // no writer: would block
    const int writer = open(fifo.c_str(), O_RDWR);  // a writer that never writes
    ASSERT_GE(writer, 0);
    EXPECT_EQ(outcome(fifo), "not a regular file (a FIFO or a device)");
    close(writer);
    EXPECT_EQ(outcome("/dev/zero"), "not a regular file (a FIFO or a device)");
    EXPECT_EQ(outcome("/dev/null"), "not a regular file (a FIFO or a device)");
    EXPECT_EQ(outcome(dir_.string()), "errno: Is a directory");
    EXPECT_EQ(outcome((dir_ / "missing.salad").string()), "errno: No such file or directory");
}

}  // namespace
}  // namespace textdemo
