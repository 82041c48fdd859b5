// The salad tool end to end: pack, list and extract round-trip a folder byte for byte;
// refusals and unsafe entry names end the run with a message and no output file; extraction
// never replaces a file without --force and never writes through a symbolic link; no file
// is ever left half written, a full disk included; a lost standard output is an error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "resources/file_bytes.hpp"
#include "tests/support/archive_bytes.hpp"
#include "tests/support/small_disk.hpp"

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
    // fills `output` with what it printed on both streams, or only on standard error when
    // standard output is redirected by `to_stdout` (">/dev/full", ">&-").
    int salad(const std::string& args, const std::string& to_stdout = "") {
        const std::string log = (dir_ / "log").string();
        const std::string streams = to_stdout.empty() ? " >'" + log + "' 2>&1" : " " + to_stdout + " 2>'" + log + "'";
        const std::string command = "cd '" + dir_.string() + "' && '" SALAD_EXECUTABLE "' " + args + streams;
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
    // Every unreadable file is named with its reason before the run gives up.
    EXPECT_EQ(salad("pack out.salad in/missing in/a in2"), 1);
    EXPECT_EQ(output, "salad: cannot read in/missing: No such file or directory\n"
                      "salad: cannot read in2: Is a directory\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.salad"));
    EXPECT_EQ(salad("list in2"), 1);
    EXPECT_EQ(output, "salad: cannot read in2: Is a directory\n");
    EXPECT_EQ(salad("extract none.salad out"), 1);
    EXPECT_EQ(output, "salad: cannot read none.salad: No such file or directory\n");
    EXPECT_EQ(salad("pack no/such/out.salad in/a"), 1);
    EXPECT_EQ(output, "salad: cannot write no/such/out.salad: No such file or directory\n");

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
    // The unsafe name is refused; the entry after it is still extracted.
    put("escape.salad",
        test::archive_file({RawEntry::stored_as_is("../escaped", {1}), RawEntry::stored_as_is("ok", {2})}));
    EXPECT_EQ(salad("extract escape.salad out"), 1);
    EXPECT_EQ(output, "salad: refusing to extract an entry named \"../escaped\": not a plain file name\n");
    EXPECT_FALSE(fs::exists(dir_ / "escaped"));
    EXPECT_EQ(get("out/ok"), Bytes{2});

    Bytes damaged = test::archive_file({RawEntry::stored_as_is("a", {1})});
    damaged[6] = 0xFF, damaged[7] = 0xFF;
    put("damaged.salad", damaged);
    EXPECT_EQ(salad("list damaged.salad"), 1);
    EXPECT_EQ(output, "salad: damaged resource archive damaged.salad: entry count -1 is outside 0..100\n");

    // Twelve zero bytes would be an empty archive if only the count were read.
    put("zeros.salad", Bytes(12, 0));
    EXPECT_EQ(salad("list zeros.salad"), 1);
    EXPECT_EQ(output, "salad: damaged resource archive zeros.salad: does not start with \"SALAD\"\n");
    EXPECT_EQ(salad("extract zeros.salad zeros"), 1);
    EXPECT_EQ(output, "salad: damaged resource archive zeros.salad: does not start with \"SALAD\"\n");
    EXPECT_FALSE(fs::exists(dir_ / "zeros"));

    // Two entries of one name: neither is listed or extracted.
    put("twins.salad", test::archive_file({RawEntry::stored_as_is("twin", {1}), RawEntry::stored_as_is("other", {2}),
                                           RawEntry::lzma("twin", test::repeated_text(100))}));
    EXPECT_EQ(salad("list twins.salad"), 1);
    EXPECT_EQ(output, "salad: damaged resource archive twins.salad: entries 0 and 2 are both named \"twin\"\n");
    EXPECT_EQ(salad("extract twins.salad twins"), 1);
    EXPECT_EQ(output, "salad: damaged resource archive twins.salad: entries 0 and 2 are both named \"twin\"\n");
    EXPECT_FALSE(fs::exists(dir_ / "twins"));

    RawEntry cut = RawEntry::lzma("cut", test::repeated_text(20000));
    cut.stored.resize(cut.stored.size() / 2);
    put("cut.salad", test::archive_file({cut}));
    // A damaged entry is never left under its real name, cut short.
    EXPECT_EQ(salad("extract cut.salad out"), 1);
    EXPECT_EQ(output.rfind("salad: \"cut\" decodes to ", 0), 0u) << output;
    EXPECT_NE(output.find(" of its 20000 bytes; not written\n"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(dir_ / "out" / "cut"));
    EXPECT_EQ(test::leftover_names(dir_ / "out", {"ok"}), "");
}

TEST_F(SaladTest, PackNeverWritesThroughALinkNorOverItsInputs) {
    put("twist.png", {1, 2, 3});
    put("precious.txt", {'p'});
    // A link where a fixed partial name would be is left alone, and so is its target.
    fs::create_symlink("precious.txt", dir_ / "out.salad.partial");
    ASSERT_EQ(salad("pack out.salad twist.png"), 0) << output;
    EXPECT_EQ(get("precious.txt"), Bytes{'p'});
    EXPECT_TRUE(fs::is_symlink(dir_ / "out.salad.partial"));
    EXPECT_FALSE(fs::is_symlink(dir_ / "out.salad"));
    ASSERT_EQ(salad("list out.salad"), 0) << output;
    EXPECT_EQ(output, row("NAME", "STORED", "UNPACKED", "METHOD") + row("twist.png", "3", "3", "stored"));

    // A link at OUT is replaced by the archive; its target is never written.
    fs::create_symlink("precious.txt", dir_ / "linked.salad");
    EXPECT_EQ(salad("pack linked.salad twist.png"), 0) << output;
    EXPECT_FALSE(fs::is_symlink(dir_ / "linked.salad"));
    EXPECT_EQ(get("linked.salad"), get("out.salad"));
    EXPECT_EQ(get("precious.txt"), Bytes{'p'});

    // OUT that is one of the FILEs (OUT forgotten), or a FIFO, is refused before anything
    // is read or written.
    EXPECT_EQ(salad("pack twist.png twist.png"), 1);
    EXPECT_EQ(output, "salad: cannot write twist.png: it is the same file as the input twist.png\n");
    EXPECT_EQ(get("twist.png"), (Bytes{1, 2, 3}));
    ASSERT_EQ(mkfifo((dir_ / "pipe.salad").c_str(), 0644), 0);
    EXPECT_EQ(salad("pack pipe.salad twist.png"), 1);
    EXPECT_EQ(output, "salad: cannot write pipe.salad: not a regular file (a FIFO or a device)\n");
    EXPECT_TRUE(fs::is_fifo(dir_ / "pipe.salad"));

    EXPECT_EQ(test::leftover_names(dir_, {"in", "log", "twist.png", "precious.txt", "out.salad.partial", "out.salad",
                                          "linked.salad", "pipe.salad"}),
              "");
}

TEST_F(SaladTest, AFullDiskLeavesNoPartOfAnyFile) {
    test::SmallDisk disk(dir_ / "disk", 256 << 10);
    if (!disk.mounted()) GTEST_SKIP() << disk.why_not;
    // Three entries of 100 kB that do not compress: two fit on the disk, the third does not.
    std::mt19937 generator(7);
    Bytes noise[3];
    for (int i = 0; i < 3; ++i) {
        noise[i].resize(100000);
        for (auto& b : noise[i]) b = static_cast<std::uint8_t>(generator());
        put("in/" + std::string(1, static_cast<char>('a' + i)), noise[i]);
    }
    EXPECT_EQ(salad("pack disk/out.salad in/a in/b in/c"), 1);
    EXPECT_EQ(output, "salad: cannot write disk/out.salad: No space left on device\n");
    EXPECT_EQ(test::leftover_names(disk.folder()), "");

    ASSERT_EQ(salad("pack all.salad in/a in/b in/c"), 0) << output;
    EXPECT_EQ(salad("extract all.salad disk"), 1);
    EXPECT_EQ(output, "salad: cannot write disk/c: No space left on device\n");
    EXPECT_EQ(get("disk/a"), noise[0]);
    EXPECT_EQ(get("disk/b"), noise[1]);
    EXPECT_EQ(test::leftover_names(disk.folder(), {"a", "b"}), "");
}

TEST_F(SaladTest, ALostStandardOutputIsAnError) {
    put("in/a", {1});
    ASSERT_EQ(salad("pack a.salad in/a"), 0) << output;
    EXPECT_EQ(salad("list a.salad", ">/dev/full"), 1);
    EXPECT_EQ(output, "salad: cannot write standard output: No space left on device\n");
    EXPECT_EQ(salad("--help", ">/dev/full"), 1);
    EXPECT_EQ(output, "salad: cannot write standard output: No space left on device\n");
    EXPECT_EQ(salad("list a.salad", ">&-"), 1);
    EXPECT_EQ(output, "salad: cannot write standard output: Bad file descriptor\n");
    // A reader that went away (SIGPIPE ignored, so the write fails with EPIPE): exit code 1
    // without a word, as pipelines into head expect.
    const std::string into_a_closed_pipe = "cd '" + dir_.string() + "' && trap '' PIPE && (sleep 0.3; '" SALAD_EXECUTABLE
                                           "' list a.salad 2>errors; echo $? >status) | true";
    ASSERT_EQ(std::system(into_a_closed_pipe.c_str()), 0);
    EXPECT_EQ(get("errors"), Bytes{});
    EXPECT_EQ(get("status"), (Bytes{'1', '\n'}));
}

TEST_F(SaladTest, ExtractionLeavesExistingFilesAndLinkTargetsAlone) {
    put("in/f1.txt", {'n', '1'});
    put("in/f2.txt", {'n', '2'});
    put("in/f3.txt", {'n', '3'});
    put("in/f4.txt", {'n', '4'});
    put("in/f5.txt", {'n', '5'});
    put("in/f6.txt", {'n', '6'});
    ASSERT_EQ(salad("pack a.salad in/f1.txt in/f2.txt in/f3.txt in/f4.txt in/f5.txt in/f6.txt"), 0) << output;

    // The folder already holds: a plain file, a read-only file, a link to a file outside,
    // a dangling link and a directory; only f6.txt is free.
    const auto prepare = [&] {
        fs::remove_all(dir_ / "out");
        fs::create_directories(dir_ / "out" / "f5.txt");
        put("out/f1.txt", {'o', '1'});
        put("out/f2.txt", {'o', '2'});
        fs::permissions(dir_ / "out" / "f2.txt", fs::perms::owner_read | fs::perms::group_read |
                                                     fs::perms::others_read);
        put("victim.txt", {'v'});
        fs::create_symlink("../victim.txt", dir_ / "out" / "f3.txt");
        fs::create_symlink("../created.txt", dir_ / "out" / "f4.txt");
    };
    prepare();
    EXPECT_EQ(salad("extract a.salad out"), 1);
    EXPECT_EQ(output, "salad: cannot write out/f1.txt: File exists (--force replaces it)\n"
                      "salad: cannot write out/f2.txt: File exists (--force replaces it)\n"
                      "salad: cannot write out/f3.txt: File exists (--force replaces it)\n"
                      "salad: cannot write out/f4.txt: File exists (--force replaces it)\n"
                      "salad: cannot write out/f5.txt: File exists (--force replaces it)\n");
    EXPECT_EQ(get("out/f1.txt"), (Bytes{'o', '1'}));
    EXPECT_EQ(get("out/f2.txt"), (Bytes{'o', '2'}));
    EXPECT_EQ(get("victim.txt"), Bytes{'v'});
    EXPECT_TRUE(fs::is_symlink(dir_ / "out" / "f3.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "created.txt"));
    EXPECT_EQ(get("out/f6.txt"), (Bytes{'n', '6'}));

    // --force replaces files and links by new files; the links' targets stay as they were,
    // and a directory in the way is still refused.
    prepare();
    EXPECT_EQ(salad("extract --force a.salad out"), 1);
    EXPECT_EQ(output, "salad: cannot write out/f5.txt: Is a directory\n");
    for (const char* name : {"f1.txt", "f2.txt", "f3.txt", "f4.txt", "f6.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(fs::is_symlink(dir_ / "out" / name));
        EXPECT_EQ(get(std::string("out/") + name), (Bytes{'n', static_cast<std::uint8_t>(name[1])}));
    }
    EXPECT_EQ(get("victim.txt"), Bytes{'v'});
    EXPECT_FALSE(fs::exists(dir_ / "created.txt"));

    // Names asked for: a missing one is refused, the others are still written.
    fs::remove_all(dir_ / "out");
    EXPECT_EQ(salad("extract a.salad out f9.txt f1.txt"), 1);
    EXPECT_EQ(output, "salad: a.salad has no entry \"f9.txt\"\n");
    EXPECT_EQ(get("out/f1.txt"), (Bytes{'n', '1'}));
}

}  // namespace
}  // namespace textdemo
