// The build folder laid out like an installation: the programs in build/bin/ and the show's
// archive in build/share/textdemo/, so a built program plays from any folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(BuildTree, ProgramsLieInBinBesideTheDataFolder) {
    const fs::path bin = fs::path(CAPTURE_EXECUTABLE).parent_path();
    EXPECT_EQ(bin, fs::path(TEXTDEMO_BUILD_DIR) / "bin");
    for (const char* program : {TEXTDEMO_CONSOLE_PROGRAM, SALAD_EXECUTABLE})
        EXPECT_EQ(fs::path(program).parent_path(), bin) << program;
    EXPECT_TRUE(fs::is_regular_file(bin / "textdemo-gl"));
    EXPECT_TRUE(fs::is_regular_file(bin.parent_path() / "share/textdemo/ruk.salad"));
}

// Started from an empty folder with no --archive, textdemo-capture finds the build's
// archive through the data folder beside its bin/ folder, as an installed copy would.
TEST(BuildTree, ABuiltProgramFindsTheBuildsArchiveFromAnyFolder) {
    char pattern[] = "/tmp/textdemo-build-tree-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    const std::string command = "cd '" + dir.string() + "' && '" CAPTURE_EXECUTABLE "' --at 0 --words w.bin 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs::file_size(dir / "w.bin"), 16000u);
    fs::remove_all(dir);
}

}  // namespace
