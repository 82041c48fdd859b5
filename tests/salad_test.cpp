// The salad tool end to end: pack, list and extract round-trip a folder byte for byte;
// refusals and unsafe entry names end the run with a message and no output file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "resources/file_bytes.hpp"
#include "tests/support/archive_bytes.hpp"

namespace textdemo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RawEntry;

// One line of `salad list`: the name left-aligned in 32 columns, the sizes right-aligned in 10.
std::string row(const std::string& name, const std::string& stored, const std::string& unpacked,
                const std::string& method) {
    const auto right = [](const std::string& text) { return std::string(10 - text.size(), ' ') + text; };
    return name + std::string(32 - name.size(), ' ') + " " + right(stored) + " " + right(unpacked) + "  " + method + "\n";
}

class SaladTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("salad_test_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "in");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs salad with `args` (paths relative to the test folder); returns its exit code and
    // fills `output` with what it printed on both streams.
    int salad(const std::string& args) {
        const std::string log = (dir_ / "log").string();
        const std::string command = "cd '" + dir_.string() + "' && '" SALAD_EXECUTABLE "' " + args + " >'" + log + "' 2>&1";
        const int status = std::system(command.c_str());
        Bytes text;
        read_file_bytes(log, text);
        output.assign(text.begin(), text.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void put(const std::string& name, const Bytes& bytes) { ASSERT_TRUE(write_file_bytes((dir_ / name).string(), bytes)); }
    Bytes get(const std::string& name) {
        Bytes bytes;
        EXPECT_TRUE(read_file_bytes((dir_ / name).string(), bytes)) << name;
        return bytes;
    }

    fs::path dir_;
    std::string output;
};

TEST_F(SaladTest, PackListExtractRoundTrip) {
    std::mt19937 generator(99);
    Bytes noise(4096);
    for (auto& b : noise) b = static_cast<std::uint8_t>(generator());
    const Bytes text = test::repeated_text(30000);
    const std::string long_name(32, 'n');
    put("in/text.txt", text);
    put("in/noise.bin", noise);
    put("in/empty", {});
    put("in/" + long_name, text);

    for (const std::string mode : {"", "--store "}) {
        SCOPED_TRACE(mode);
        const std::string names = "in/text.txt in/noise.bin in/empty in/" + long_name;
        ASSERT_EQ(salad("pack " + mode + "out.salad " + names), 0) << output;
        ASSERT_EQ(salad("list out.salad"), 0) << output;
        // Stored sizes of LZMA entries depend on the encoder: that one column is read back and
        // must be a right-aligned number below the unpacked size.
        std::string listing = output;
        if (mode.empty()) {
            for (const std::string& name : {std::string("text.txt"), long_name}) {
                const std::size_t at = listing.find(name + std::string(32 - name.size(), ' '));
                ASSERT_NE(at, std::string::npos) << output;
                const std::string column = listing.substr(at + 33, 10);
                const std::size_t digits = column.find_first_not_of(' ');
                ASSERT_NE(digits, std::string::npos) << output;
                EXPECT_LT(std::stoul(column.substr(digits)), 30000u) << column;
                listing.replace(at + 33, 10, "     STORE");
            }
        }
        const std::string text_stored = mode.empty() ? "STORE" : "30000", method = mode.empty() ? "lzma" : "stored";
        EXPECT_EQ(listing, row("NAME", "STORED", "UNPACKED", "METHOD") + row("text.txt", text_stored, "30000", method) +
                               row("noise.bin", "4096", "4096", "stored") + row("empty", "0", "0", "stored") +
                               row(long_name, text_stored, "30000", method));

        fs::remove_all(dir_ / "out");
        ASSERT_EQ(salad("extract out.salad out"), 0) << output;
        EXPECT_EQ(get("out/text.txt"), text);
        EXPECT_EQ(get("out/noise.bin"), noise);
        EXPECT_EQ(get("out/empty"), Bytes{});
        EXPECT_EQ(get("out/" + long_name), text);

        fs::remove_all(dir_ / "one");
        ASSERT_EQ(salad("extract out.salad one noise.bin"), 0) << output;
        EXPECT_EQ(get("one/noise.bin"), noise);
        EXPECT_FALSE(fs::exists(dir_ / "one" / "text.txt"));
    }
}

TEST_F(SaladTest, RefusesBadInputWithAMessage) {
    put("in/a", {1});
    put("in/" + std::string(33, 'x'), {1});
    fs::create_directories(dir_ / "in2");
    put("in2/a", {2});

    EXPECT_EQ(salad("pack out.salad in/a in2/a"), 1);
    EXPECT_EQ(output, "salad: cannot pack out.salad: name \"a\" is given twice\n");
    EXPECT_EQ(salad("pack out.salad in/" + std::string(33, 'x')), 1);
    EXPECT_EQ(output, "salad: cannot pack out.salad: name \"" + std::string(33, 'x') + "\" is longer than 32 bytes\n");
    EXPECT_EQ(salad("pack out.salad in/missing"), 1);
    EXPECT_EQ(output, "salad: cannot read in/missing\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.salad"));

    std::string many;
    for (int i = 0; i < 101; ++i) {
        put("in/f" + std::to_string(i), {});
        many += " in/f" + std::to_string(i);
    }
    EXPECT_EQ(salad("pack out.salad" + many), 1);
    EXPECT_EQ(output, "salad: cannot pack out.salad: 101 files are more than the 100 an archive holds\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.salad"));

    EXPECT_EQ(salad("pack out.salad"), 2);
    EXPECT_EQ(salad("frobnicate"), 2);
    EXPECT_EQ(salad("--help"), 0);
    EXPECT_EQ(output.rfind("usage: salad pack [--store] OUT FILE...\n", 0), 0u) << output;
}

TEST_F(SaladTest, DamagedOrHostileArchivesAreNotExtracted) {
    put("escape.salad", test::archive_file({RawEntry::stored_as_is("../escaped", {1})}));
    EXPECT_EQ(salad("extract escape.salad out"), 1);
    EXPECT_EQ(output, "salad: refusing to extract an entry named \"../escaped\"\n");
    EXPECT_FALSE(fs::exists(dir_ / "escaped"));

    Bytes damaged = test::archive_file({RawEntry::stored_as_is("a", {1})});
    damaged[6] = 0xFF, damaged[7] = 0xFF;
    put("damaged.salad", damaged);
    EXPECT_EQ(salad("list damaged.salad"), 1);
    EXPECT_EQ(output, "salad: damaged resource archive damaged.salad: entry count -1 is outside 0..100\n");

    RawEntry cut = RawEntry::lzma("cut", test::repeated_text(20000));
    cut.stored.resize(cut.stored.size() / 2);
    put("cut.salad", test::archive_file({cut}));
    EXPECT_EQ(salad("extract cut.salad out"), 1);
    EXPECT_EQ(output.rfind("salad: \"cut\" decodes to ", 0), 0u) << output;
    EXPECT_LT(get("out/cut").size(), 20000u);
}

}  // namespace
}  // namespace textdemo
