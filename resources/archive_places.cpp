// archive_places: the archive's search path, from the program's folder.
#include "resources/archive_places.hpp"

#include <filesystem>
#include <system_error>

#ifndef TEXTDEMO_DATA_FROM_BINDIR
#error "TEXTDEMO_DATA_FROM_BINDIR (the installed data folder relative to bin/) is set by the build"
#endif

namespace textdemo {

namespace fs = std::filesystem;

namespace {

// Two names of one folder; folders that do not exist are never the same.
bool same_folder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

}  // namespace

std::vector<std::string> archive_places(const std::string& program_folder) {
    std::vector<fs::path> folders = {"."};
    if (!program_folder.empty()) {
        const fs::path program = program_folder;
        for (const fs::path& folder : {program, (program / TEXTDEMO_DATA_FROM_BINDIR).lexically_normal()}) {
            bool known = false;
            for (const fs::path& earlier : folders) known = known || same_folder(earlier, folder);
            if (!known) folders.push_back(folder);
        }
    }
    std::vector<std::string> places;
    for (const fs::path& folder : folders) places.push_back((folder / ARCHIVE_FILE_NAME).string());
    return places;
}

std::string running_program_folder() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

std::vector<std::string> places_of_archive(const std::string& named) {
    if (!named.empty()) return {named};
    return archive_places(running_program_folder());
}

}  // namespace textdemo
