// Archive writing: the exact byte layout, the choice between LZMA and storing, refusals,
// and archives read back by the loader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "resources/archive.hpp"
#include "resources/archive_format.hpp"
#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/archive_bytes.hpp"
#include "tests/support/empty_archive.hpp"
#include "tests/support/temp_folder.hpp"

namespace textdemo {
namespace {

using test::Bytes;

Bytes random_bytes(std::size_t n) {
    std::mt19937 generator(1234);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
    return bytes;
}

std::string build_problem(const std::vector<PackItem>& items) {
    Bytes archive;
    return build_archive(items, true, archive);
}

TEST(ArchiveWriter, StoredEntryLayoutByteForByte) {
    Bytes archive;
    ASSERT_EQ(build_archive({{"ab", {1, 2, 3}}}, false, archive), "");
    Bytes expected = {'S', 'A', 'L', 'A', 'D', 1, 1, 0, 0, 0, 0, 0,  // header
                      1, 2, 3,                                         // data
                      3, 0, 0, 0, 3, 0, 0, 0, 0, 2, 0xE1, 0xE2};       // directory entry
    expected.resize(12 + 3 + 44, 0);
    EXPECT_EQ(archive, expected);
}

TEST(ArchiveWriter, CompressesOnlyWhatGetsSmaller) {
    const Bytes text = test::repeated_text(10000), noise = random_bytes(2000);
    Bytes archive;
    ASSERT_EQ(build_archive({{"text", text}, {"noise", noise}, {"empty", {}}}, true, archive), "");
    std::vector<DirectoryEntry> entries;
    ASSERT_EQ(read_archive_layout(archive, entries), "");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].compressed);
    EXPECT_LT(entries[0].stored_size, 2000u);
    EXPECT_EQ(entries[0].unpacked_size, 10000u);
    EXPECT_FALSE(entries[1].compressed);
    EXPECT_EQ(entries[1].stored_size, 2000u);
    EXPECT_FALSE(entries[2].compressed);
    EXPECT_EQ(entries[2].stored_size, 0u);
    // The last entry's data ends exactly where the directory begins.
    EXPECT_EQ(entries[1].data_offset + entries[1].stored_size + 3 * 44, archive.size());

    ASSERT_EQ(build_archive({{"text", text}}, false, archive), "");
    ASSERT_EQ(read_archive_layout(archive, entries), "");
    EXPECT_FALSE(entries[0].compressed);
    EXPECT_EQ(entries[0].stored_size, 10000u);
}

// Compressing pays only where it saves an eighth: decoding costs time at every start.
TEST(ArchiveWriter, CompressesOnlyWhereItSavesAnEighth) {
    EXPECT_TRUE(worth_compressing(3200, 2800));
    EXPECT_FALSE(worth_compressing(3200, 2801));
    EXPECT_TRUE(worth_compressing(1, 0));
    EXPECT_FALSE(worth_compressing(0, 0));
    EXPECT_FALSE(worth_compressing(100, 100));
    EXPECT_FALSE(worth_compressing(100, 120));
    // Noise with a short compressible tail shrinks a little, like an MP3 or a PNG: stored.
    Bytes nearly_noise = random_bytes(8000);
    nearly_noise.resize(8800, 0);
    ASSERT_LT(encode_lzma_alone(nearly_noise).size(), nearly_noise.size());
    Bytes archive;
    ASSERT_EQ(build_archive({{"music", nearly_noise}}, true, archive), "");
    std::vector<DirectoryEntry> entries;
    ASSERT_EQ(read_archive_layout(archive, entries), "");
    EXPECT_FALSE(entries[0].compressed);
    EXPECT_EQ(entries[0].stored_size, 8800u);
}

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHold) {
    EXPECT_EQ(build_problem({{std::string(32, 'x'), {1}}}), "");
    EXPECT_EQ(build_problem({{std::string(33, 'x'), {1}}}),
              "name \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\" is longer than 32 bytes");
    EXPECT_EQ(build_problem({{"a", {1}}, {"b", {}}, {"a", {2}}}), "name \"a\" is given twice");
    EXPECT_EQ(build_problem({{"", {1}}}), "an entry needs a name");

    std::vector<PackItem> items;
    for (int i = 0; i < 100; ++i) items.push_back({"f" + std::to_string(i), {}});
    EXPECT_EQ(build_problem(items), "");
    items.push_back({"f100", {}});
    EXPECT_EQ(build_problem(items), "101 files are more than the 100 an archive holds");
}

TEST(ArchiveWriter, WrittenArchiveLoads) {
    const Bytes text = test::repeated_text(50000), noise = random_bytes(777);
    const std::string long_name(32, 'L');
    Bytes archive;
    ASSERT_EQ(build_archive({{"noise.bin", noise}, {long_name, text}, {"text.txt", text}}, true, archive), "");
    const test::TempFolder folder;
    const std::string path = folder.file("written.salad");
    ASSERT_TRUE(write_file_bytes(path, archive));
    set_archive_path(path);
    release_resource_archive();
    const ResourceArchive& loaded = test::loaded_archive();
    ASSERT_EQ(loaded.count, 3);
    const ResourceEntry& a = test::entry_named(loaded, "noise.bin");
    EXPECT_EQ(Bytes(a.data, a.data + a.size), noise);
    const ResourceEntry& b = test::entry_named(loaded, long_name.c_str());
    EXPECT_EQ(Bytes(b.data, b.data + b.size), text);
    const ResourceEntry& c = test::entry_named(loaded, "text.txt");
    EXPECT_EQ(Bytes(c.data, c.data + c.size), text);
    release_resource_archive();
    set_archive_path("ruk.salad");
}

}  // namespace
}  // namespace textdemo
