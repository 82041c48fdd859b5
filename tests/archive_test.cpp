// Archive loading: stored and LZMA entries, lookups, the places tried and the reasons a
// file does not open, archives packed by earlier packers.
// Archives are laid out byte by byte here, independently of the reader and of salad.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "resources/archive.hpp"
#include "resources/archive_format.hpp"
#include "resources/archive_places.hpp"
#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/archive_bytes.hpp"
#include "tests/support/empty_archive.hpp"
#include "tests/support/temp_folder.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RawEntry;

class ArchiveTest : public ::testing::Test {
protected:
    void TearDown() override {
        release_resource_archive();
        set_archive_path("ruk.salad");
    }
    // Writes `file` and loads it as the archive; returns the failure's line ("" on success).
    std::string load(const Bytes& file) {
        EXPECT_TRUE(write_file_bytes(path_, file));
        set_archive_path(path_);
        release_resource_archive();
        return load_resource_archive().message;
    }
    static Bytes data_of(const ResourceEntry& entry) { return Bytes(entry.data, entry.data + entry.size); }

    test::TempFolder folder_;  // removed with the fixture, the file and folders inside too
    std::string path_ = folder_.file("archive_test.salad");
};

TEST_F(ArchiveTest, StoredAndCompressedEntriesDecodeToTheirBytes) {
    const Bytes text = test::repeated_text(5000);
    const Bytes raw = {0, 1, 2, 0xFF, 0x80};
    EXPECT_EQ(load(test::archive_file({RawEntry::stored_as_is("raw.bin", raw), RawEntry::lzma("text.txt", text)})), "");

    const ResourceArchive& archive = resource_archive();
    ASSERT_EQ(archive.count, 2);
    EXPECT_STREQ(archive.entries[0].name, "raw.bin");
    EXPECT_EQ(data_of(test::entry_named(archive, "raw.bin")), raw);
    EXPECT_EQ(data_of(test::entry_named(archive, "text.txt")), text);
}

TEST_F(ArchiveTest, EmptyArchiveLoadsAndEveryLookupFails) {
    EXPECT_EQ(load(test::archive_file({})), "");
    EXPECT_EQ(resource_archive().count, 0);
    const ResourceEntry* entry = &resource_archive().entries[0];
    EXPECT_EQ(find_resource(resource_archive(), "ruk.mp3", entry).message, "resource \"ruk.mp3\" not found");
    EXPECT_EQ(entry, nullptr);
}

// Loading from `places` fails with `line`, and leaves no archive loaded.
void expect_unable_to_open(const std::vector<std::string>& places, const std::string& line) {
    set_archive_places(places);
    release_resource_archive();
    EXPECT_EQ(load_resource_archive().message, line);
    EXPECT_EQ(resource_archive().count, 0);
}

TEST_F(ArchiveTest, AFileThatDoesNotOpenFailsWithTheReason) {
    const std::string missing = path_ + ".missing", folder = path_ + ".d";
    fs::create_directories(folder);
    expect_unable_to_open({missing}, "unable to open " + missing + ": No such file or directory");
    expect_unable_to_open({folder}, "unable to open " + folder + ": Is a directory");
    // An unreadable file; the superuser reads any file, so the child drops to "nobody".
    ASSERT_TRUE(write_file_bytes(path_, test::archive_file({})));
    fs::permissions(path_, fs::perms::none);
    set_archive_path(path_);
    release_resource_archive();
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && setuid(65534) != 0) std::abort();
            const Failure failure = load_resource_archive();
            std::fprintf(stderr, "%s\n", failure.message.c_str());
            std::exit(failure ? 1 : 0);
        },
        ::testing::ExitedWithCode(1), "^unable to open " + path_ + ": Permission denied\n$");
    // Several places: each one with its reason, under the name of the file looked for.
    const std::string absent = folder + "/ruk.salad", inner = folder + "/x/ruk.salad";
    fs::create_directories(inner);
    expect_unable_to_open({absent, inner}, "unable to open ruk.salad: " + absent + ": No such file or directory; " +
                                               inner + ": Is a directory");
    fs::remove_all(folder);
}

TEST_F(ArchiveTest, TheFirstPlaceThatOpensIsRead) {
    const std::string folder = path_ + ".d";
    fs::create_directories(folder);
    ASSERT_TRUE(write_file_bytes(path_, test::archive_file({RawEntry::stored_as_is("here", {3})})));
    set_archive_places({path_ + ".missing", folder, path_});
    release_resource_archive();
    EXPECT_EQ(data_of(test::entry_named(test::loaded_archive(), "here")), Bytes{3});
    fs::remove_all(folder);
}

// Archives packed before the packer weighed the saving hold their music LZMA-compressed by
// a fraction of a percent; they load as they are.
TEST_F(ArchiveTest, AnArchivePackedTheOldWayStillLoads) {
    std::mt19937 generator(7);
    Bytes music(60000);
    for (auto& b : music) b = static_cast<std::uint8_t>(generator());
    music.resize(61000, 0);  // noise with a little silence: LZMA saves about 1.5%
    const RawEntry old_music = RawEntry::lzma("ruk.mp3", music);
    ASSERT_LT(old_music.stored.size(), music.size());
    ASSERT_FALSE(worth_compressing(music.size(), old_music.stored.size()));
    EXPECT_EQ(load(test::archive_file({old_music, RawEntry::lzma("text", test::repeated_text(900))})), "");
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "ruk.mp3")), music);
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "text")), test::repeated_text(900));
}

TEST(ArchivePlaces, WorkingDirectoryThenProgramFolderThenDataFolder) {
    EXPECT_EQ(archive_places(""), std::vector<std::string>{"./ruk.salad"});
    const test::TempFolder folder;
    const fs::path root = folder.path();
    fs::create_directories(root / "bin");
    const std::vector<std::string> places = archive_places((root / "bin").string());
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0], "./ruk.salad");
    EXPECT_EQ(places[1], (root / "bin" / "ruk.salad").string());
    const fs::path data = places[2];
    EXPECT_EQ(data.filename(), "ruk.salad");
    EXPECT_EQ(data, data.lexically_normal());
    EXPECT_NE(data.parent_path(), root / "bin");
    // The program's folder when it is also the working directory is tried once.
    const fs::path before = fs::current_path();
    fs::current_path(root / "bin");
    EXPECT_EQ(archive_places((root / "bin").string()), (std::vector<std::string>{"./ruk.salad", places[2]}));
    fs::current_path(before);
    EXPECT_EQ(fs::path(running_program_folder()), fs::canonical("/proc/self/exe").parent_path());
}

TEST_F(ArchiveTest, NamesMatchInTheirFirst32Bytes) {
    const std::string long_name(32, 'n');
    load(test::archive_file({RawEntry::stored_as_is("a", {1}), RawEntry::stored_as_is(long_name, {2})}));
    const ResourceEntry& entry = test::entry_named(resource_archive(), long_name.c_str());
    EXPECT_EQ(std::string(entry.name, 32), long_name);
    EXPECT_EQ(data_of(entry), Bytes{2});
    EXPECT_EQ(&test::entry_named(resource_archive(), (long_name + "tail").c_str()), &entry);
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "a")), Bytes{1});
}

// A lookup would find only the first of two entries of one name: such an archive is refused.
TEST_F(ArchiveTest, TwoEntriesOfOneNameAreRefused) {
    EXPECT_EQ(load(test::archive_file({RawEntry::stored_as_is("twin", {1}), RawEntry::lzma("twin", {2, 2})})),
              "damaged resource archive " + path_ + ": entries 0 and 1 are both named \"twin\"");
    EXPECT_EQ(resource_archive().count, 0);
}

// A file that is no archive is judged before its contents are read, in one line.
TEST_F(ArchiveTest, AFileThatIsNoArchiveIsRefusedInOneLine) {
    EXPECT_EQ(load(Bytes(12, 0)), "damaged resource archive " + path_ + ": does not start with \"SALAD\"");
    set_archive_path("/dev/zero");
    EXPECT_EQ(load_resource_archive().message, "damaged resource archive /dev/zero: not a regular file (a FIFO or a device)");
    // The first place that opens is the one judged; the places after it are not tried.
    const std::string good = path_ + ".good";
    ASSERT_TRUE(write_file_bytes(good, test::archive_file({RawEntry::stored_as_is("a", {1})})));
    set_archive_places({"/dev/zero", good});
    EXPECT_EQ(load_resource_archive().message, "damaged resource archive /dev/zero: not a regular file (a FIFO or a device)");
}

TEST_F(ArchiveTest, OnlyFlagOneMeansCompressed) {
    std::vector<RawEntry> entries;
    for (std::uint8_t flag : {0, 2, 0x81, 0xFF}) {
        RawEntry entry = RawEntry::stored_as_is("flag" + std::to_string(flag), {flag, 7, 7});
        entry.flag = flag;
        entries.push_back(entry);
    }
    load(test::archive_file(entries));
    for (const RawEntry& entry : entries) EXPECT_EQ(data_of(test::entry_named(resource_archive(), entry.name.c_str())), entry.stored);
}

TEST_F(ArchiveTest, StoredEntryLongerThanItsUnpackedSizeKeepsTheFirstBytes) {
    RawEntry entry = RawEntry::stored_as_is("cut", {1, 2, 3, 4});
    entry.unpacked_size = 2;
    RawEntry after = RawEntry::stored_as_is("after", {9});
    load(test::archive_file({entry, after}));
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "cut")), (Bytes{1, 2}));
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "after")), Bytes{9});
}

TEST_F(ArchiveTest, TruncatedLzmaStreamKeepsWhatWasDecoded) {
    const Bytes text = test::repeated_text(20000);
    RawEntry entry = RawEntry::lzma("short", text);
    entry.stored.resize(entry.stored.size() / 2);
    EXPECT_EQ(load(test::archive_file({entry})), "");
    const ResourceEntry& decoded = test::entry_named(resource_archive(), "short");
    EXPECT_GT(decoded.size, 0u);
    EXPECT_LT(decoded.size, text.size());
    EXPECT_TRUE(std::equal(decoded.data, decoded.data + decoded.size, text.begin()));
}

TEST_F(ArchiveTest, LzmaOutputStopsAtTheUnpackedSize) {
    const Bytes text = test::repeated_text(3000);
    RawEntry entry = RawEntry::lzma("capped", text);
    entry.unpacked_size = 1000;
    load(test::archive_file({entry}));
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "capped")), Bytes(text.begin(), text.begin() + 1000));
}

TEST_F(ArchiveTest, LzmaSizeFieldIsNotRead) {
    const Bytes text = test::repeated_text(3000);
    RawEntry entry = RawEntry::lzma("sized", text);
    for (int i = 5; i < 13; ++i) entry.stored[i] = 0x01;  // claims 0x0101010101010101 bytes
    load(test::archive_file({entry}));
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "sized")), text);
}

TEST_F(ArchiveTest, PutResourceRefusesWhatNoArchiveHolds) {
    test::use_empty_archive();
    const std::uint8_t byte = 1;
    EXPECT_EQ(put_resource("huge", &byte, MAX_UNPACKED_ENTRY_SIZE + std::size_t{1}).message,
              "resource \"huge\" of 67108865 bytes is above the limit of 67108864 bytes");
    for (int i = 0; i < MAX_RESOURCES; ++i) EXPECT_FALSE(put_resource(("e" + std::to_string(i)).c_str(), &byte, 1));
    EXPECT_EQ(put_resource("one more", &byte, 1).message, "resource archive full, cannot add \"one more\"");
    EXPECT_FALSE(put_resource("e7", &byte, 0)) << "replacing an entry needs no room";
    EXPECT_EQ(resource_archive().count, MAX_RESOURCES);
}

TEST_F(ArchiveTest, PutResourceAddsThenReplaces) {
    load(test::archive_file({RawEntry::stored_as_is("kept", {5})}));
    const Bytes first = {1, 2, 3}, second = {4};
    EXPECT_FALSE(put_resource("new", first.data(), first.size()));
    EXPECT_EQ(resource_archive().count, 2);
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "new")), first);
    EXPECT_FALSE(put_resource("new", second.data(), second.size()));
    EXPECT_EQ(resource_archive().count, 2);
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "new")), second);
    EXPECT_EQ(data_of(test::entry_named(resource_archive(), "kept")), Bytes{5});
}

}  // namespace
}  // namespace textdemo
