// temp_folder: a folder of the test's own in the temporary directory ($TMPDIR, else /tmp),
// made fresh for it and removed with everything in it when it goes out of scope, so that
// cases running side by side (ctest -j) never write to the same path.
//
// Offers: TempFolder (path, and file: a path inside it).
//
//     test::TempFolder folder;
//     write_file_bytes(folder.file("archive.salad"), bytes);
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace textdemo::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "textdemo-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder from " + pattern);
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace textdemo::test
