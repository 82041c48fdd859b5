// small_disk: a tiny file system of the test's own, for writes that run out of space.
//
// Offers: SmallDisk (a tmpfs of the given size mounted on a fresh folder for the test's
// scope; mounting needs root) and leftover_names (what a folder holds besides the names
// a test expects).
//
//     SmallDisk disk(dir / "disk", 1 << 20);
//     if (!disk.mounted()) GTEST_SKIP() << disk.why_not;
#pragma once

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

namespace textdemo::test {

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, std::size_t bytes) : folder_(folder) {
        std::filesystem::create_directories(folder_);
        const std::string options = "size=" + std::to_string(bytes);
        if (mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            why_not = "cannot mount a small tmpfs here (" + std::string(std::strerror(errno)) +
                      "): the full-disk case needs root";
        }
    }
    ~SmallDisk() {
        if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::filesystem::path& folder() const { return folder_; }
    std::string why_not;

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

// The names in `folder` that are not in `expected`, joined by spaces ("" when none).
inline std::string leftover_names(const std::filesystem::path& folder, const std::set<std::string>& expected = {}) {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (!expected.count(name)) names += (names.empty() ? "" : " ") + name;
    }
    return names;
}

}  // namespace textdemo::test
