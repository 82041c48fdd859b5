#include "tests/support/show_resources.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "resources/archive.hpp"
#include "tests/support/test_content.hpp"

namespace textdemo::test {

namespace {

bool is_mask(std::string_view name) {
    return name.find("opacity") != std::string_view::npos || name.find("alpha") != std::string_view::npos;
}

void put_stand_in(const ShowPicture& picture) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(picture.width) * picture.height);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::uint32_t v = static_cast<std::uint32_t>(i) * 2654435761u >> 24;
        if (is_mask(picture.name) && v < 205) v = 0;
        words[i] = v * 0x010101u;
    }
    put_png(picture.name, picture.width, picture.height, words);
}

}  // namespace

std::string show_archive_path() {
    if (const char* path = std::getenv("TEXTDEMO_SHOW_ARCHIVE")) return path;
    return TEXTDEMO_BUILD_ARCHIVE;
}

bool use_show_archive() {
    const std::string path = show_archive_path();
    if (!std::filesystem::exists(path)) {
        std::printf("no show archive at %s\n", path.c_str());
        return false;
    }
    release_resource_archive();
    set_archive_path(path);
    require(load_resource_archive());
    return true;
}

bool use_show_content() {
    const std::string archive_path = show_archive_path();
    const bool exists = std::filesystem::exists(archive_path);
    release_resource_archive();
    if (exists) set_archive_path(archive_path);
    else use_no_archive_file();
    require(load_resource_archive());
    int stand_ins = 0;
    for (const ShowPicture& picture : SHOW_PICTURES) {
        if (lookup_resource(resource_archive(), picture.name)) continue;
        put_stand_in(picture);
        ++stand_ins;
    }
    if (!lookup_resource(resource_archive(), "patterndata.bin")) {
        put_pattern_dump({0}, {64});
        ++stand_ins;
    }
    std::printf("content: %s, %d stand-in entries\n", exists ? archive_path.c_str() : "no archive", stand_ins);
    return stand_ins == 0;
}

}  // namespace textdemo::test
