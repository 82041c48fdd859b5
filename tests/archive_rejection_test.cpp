// Archives outside the format are refused with one line naming the problem, before any
// field is trusted for a read or an allocation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/archive.hpp"
#include "resources/archive_format.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/archive_bytes.hpp"
#include "tests/support/temp_folder.hpp"

namespace textdemo {
namespace {

using test::Bytes;
using test::RawEntry;

// The problem read_archive_layout reports for `file` ("" when it accepts it).
std::string problem_of(const Bytes& file) {
    std::vector<DirectoryEntry> entries;
    const std::string problem = read_archive_layout(file, entries);
    EXPECT_EQ(entries.empty(), !problem.empty() || file[6] == 0) << "entries are kept only on success";
    return problem;
}

void set_le32(Bytes& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Offset of directory entry i in `file` with `count` entries.
std::size_t directory_at(const Bytes& file, int count, int i) { return file.size() - 44 * count + 44 * i; }

// A compressed entry claiming `unpacked` bytes, with a tiny valid stream behind it.
RawEntry claiming(const std::string& name, std::uint32_t unpacked) {
    RawEntry entry = RawEntry::lzma(name, {1, 2, 3});
    entry.unpacked_size = unpacked;
    return entry;
}

TEST(ArchiveRejection, HeaderAndCount) {
    EXPECT_EQ(problem_of(Bytes{'S', 'A', 'L', 'A', 'D', 1, 0, 0, 0, 0, 0}),
              "file of 11 bytes is shorter than the 12-byte header");
    Bytes file = test::archive_file({});
    EXPECT_EQ(problem_of(file), "");
    file[6] = 0xFF, file[7] = 0xFF;
    EXPECT_EQ(problem_of(file), "entry count -1 is outside 0..100");
    file[6] = 0x00, file[7] = 0x80;
    EXPECT_EQ(problem_of(file), "entry count -32768 is outside 0..100");
    file[6] = 101, file[7] = 0;
    EXPECT_EQ(problem_of(file), "entry count 101 is outside 0..100");
}

TEST(ArchiveRejection, TheMagicComesFirst) {
    const std::string not_an_archive = "does not start with \"SALAD\"";
    EXPECT_EQ(problem_of(Bytes(12, 0)), not_an_archive);  // an empty archive if only the count were read
    EXPECT_EQ(problem_of(Bytes{'S', 'A', 'L'}), not_an_archive);
    Bytes file = test::archive_file({RawEntry::stored_as_is("a", {1})});
    for (std::size_t at = 0; at < 5; ++at) {
        Bytes changed = file;
        changed[at] ^= 0x20;  // "sALAD", "SaLAD", ...
        EXPECT_EQ(problem_of(changed), not_an_archive) << at;
    }
    EXPECT_EQ(archive_file_problem(12, file), "");
    EXPECT_EQ(archive_file_problem(12, std::span(file).first(4)), not_an_archive);
}

TEST(ArchiveRejection, AFileLargerThanAnyArchiveIsJudgedByItsSizeAlone) {
    const Bytes head = test::archive_file({});
    EXPECT_EQ(MAX_ARCHIVE_FILE_SIZE, 12u + (256u << 20) + 4400u);
    EXPECT_EQ(archive_file_problem(MAX_ARCHIVE_FILE_SIZE, head), "");
    EXPECT_EQ(archive_file_problem(MAX_ARCHIVE_FILE_SIZE + 1, head),
              "file of 268439869 bytes is larger than an archive can be (268439868 bytes)");
    EXPECT_EQ(archive_file_problem(100ull << 30, {}),
              "file of 107374182400 bytes is larger than an archive can be (268439868 bytes)");
}

TEST(ArchiveRejection, TwoEntriesOfOneName) {
    EXPECT_EQ(problem_of(test::archive_file({RawEntry::stored_as_is("a", {1}), RawEntry::stored_as_is("b", {2}),
                                             RawEntry::lzma("a", {3, 3})})),
              "entries 0 and 2 are both named \"a\"");
    EXPECT_EQ(problem_of(test::archive_file({RawEntry::stored_as_is("", {}), RawEntry::stored_as_is("", {})})),
              "entries 0 and 1 are both named \"\"");
    // Names differ by their bytes, case and length included.
    EXPECT_EQ(problem_of(test::archive_file({RawEntry::stored_as_is("a", {}), RawEntry::stored_as_is("A", {}),
                                             RawEntry::stored_as_is("aa", {})})),
              "");
}

TEST(ArchiveRejection, HundredEntriesAreTheMost) {
    std::vector<RawEntry> entries;
    for (int i = 0; i < 100; ++i) entries.push_back(RawEntry::stored_as_is("e" + std::to_string(i), {1}));
    Bytes file = test::archive_file(entries);
    EXPECT_EQ(problem_of(file), "");
    file[6] = 101;  // one more than the directory and the limit hold
    EXPECT_EQ(problem_of(file), "entry count 101 is outside 0..100");
}

TEST(ArchiveRejection, DirectoryMustFitAfterTheHeader) {
    Bytes file = test::archive_file({RawEntry::stored_as_is("one", {})});
    EXPECT_EQ(file.size(), 12u + 44u);
    EXPECT_EQ(problem_of(file), "");
    file[6] = 2;
    EXPECT_EQ(problem_of(file), "directory of 2 entries does not fit in a file of 56 bytes");
}

TEST(ArchiveRejection, NameLength) {
    RawEntry entry = RawEntry::stored_as_is("name", {1});
    entry.name_length = 33;
    EXPECT_EQ(problem_of(test::archive_file({RawEntry::stored_as_is("ok", {}), entry})),
              "entry 1: name length 33 is outside 0..32");
    entry.name_length = -1;
    EXPECT_EQ(problem_of(test::archive_file({entry})), "entry 0: name length -1 is outside 0..32");
    entry.name_length = 0;
    EXPECT_EQ(problem_of(test::archive_file({entry})), "");
}

TEST(ArchiveRejection, DataMustEndBeforeTheDirectory) {
    Bytes file = test::archive_file({RawEntry::stored_as_is("a", {1, 2}), RawEntry::stored_as_is("b", {3, 4})});
    set_le32(file, directory_at(file, 2, 1), 2);  // exactly up to the directory
    EXPECT_EQ(problem_of(file), "");
    set_le32(file, directory_at(file, 2, 1), 3);
    EXPECT_EQ(problem_of(file), "entry 1 (\"b\"): stored data of 3 bytes runs past the start of the directory");
    set_le32(file, directory_at(file, 2, 1), 0xFFFFFFFF);
    set_le32(file, directory_at(file, 2, 1) + 4, 0);
    EXPECT_EQ(problem_of(file),
              "entry 1 (\"b\"): stored data of 4294967295 bytes runs past the start of the directory");
}

TEST(ArchiveRejection, StoredEntryShorterThanItsUnpackedSize) {
    RawEntry entry = RawEntry::stored_as_is("short", {1, 2, 3});
    entry.unpacked_size = 4;
    EXPECT_EQ(problem_of(test::archive_file({entry})), "entry 0 (\"short\"): stored size 3 is smaller than its unpacked size 4");
}

TEST(ArchiveRejection, CompressedEntryShorterThanItsLzmaHeader) {
    RawEntry entry = RawEntry::lzma("tiny", {1});
    entry.stored.resize(12);
    EXPECT_EQ(problem_of(test::archive_file({entry})),
              "entry 0 (\"tiny\"): compressed data of 12 bytes is shorter than the 13-byte LZMA header");
    entry.stored.resize(13);
    EXPECT_EQ(problem_of(test::archive_file({entry})), "");
}

TEST(ArchiveRejection, UnpackedSizeBounds) {
    EXPECT_EQ(problem_of(test::archive_file({claiming("big", 64u << 20)})), "");
    EXPECT_EQ(problem_of(test::archive_file({claiming("big", (64u << 20) + 1)})),
              "entry 0 (\"big\"): unpacked size 67108865 is above the limit of 67108864 bytes");
    EXPECT_EQ(problem_of(test::archive_file({claiming("huge", 0xFFFFFFFF)})),
              "entry 0 (\"huge\"): unpacked size 4294967295 is above the limit of 67108864 bytes");

    std::vector<RawEntry> four;
    for (const char* name : {"q1", "q2", "q3", "q4"}) four.push_back(claiming(name, 64u << 20));
    EXPECT_EQ(problem_of(test::archive_file(four)), "");
    four.push_back(claiming("one\x01more", 1));
    EXPECT_EQ(problem_of(test::archive_file(four)),
              "entry 4 (\"one?more\"): unpacked sizes add up to more than the limit of 268435456 bytes");
}

TEST(ArchiveRejection, TheLoaderFailsWithOneLineAndKeepsNoEntry) {
    const test::TempFolder folder;
    const std::string path = folder.file("rejected.salad");
    Bytes file = test::archive_file({RawEntry::stored_as_is("a", {1})});
    file[6] = 0xFF, file[7] = 0xFF;
    EXPECT_TRUE(write_file_bytes(path, file));
    set_archive_path(path);
    release_resource_archive();
    EXPECT_EQ(load_resource_archive().message, "damaged resource archive " + path + ": entry count -1 is outside 0..100");
    EXPECT_EQ(resource_archive().count, 0);
    release_resource_archive();
    set_archive_path("ruk.salad");
}

}  // namespace
}  // namespace textdemo
