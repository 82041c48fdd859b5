#include "tests/support/show_archive.hpp"

#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo::test {

namespace {

struct ImageSize {
    const char* name;
    int width, height;
};

const ImageSize kImages[] = {
    {"splat1.png", 80, 50},          {"splat2.png", 80, 50},          {"splat3.png", 80, 50},
    {"splat4.png", 80, 50},          {"splat6.png", 80, 50},          {"splat7.png", 80, 50},
    {"splat8.png", 80, 50},          {"splat9.png", 80, 50},          {"kelvaron.png", 80, 50},
    {"kelvaron_opacity.png", 80, 50}, {"ruk.png", 400, 50},           {"ruk_opacity.png", 400, 50},
    {"env_red.png", 256, 256},       {"env_red2.png", 256, 256},      {"table.png", 256, 256},
    {"quorvila.png", 80, 50},        {"quorvila_opacity.png", 80, 50}, {"zentrobe.png", 80, 50},
    {"zentrobe_opacity.png", 80, 50}, {"tunnel.png", 256, 256},       {"logo_overlay.png", 80, 50},
    {"twist.png", 80, 46},           {"twistalpha.png", 80, 46},      {"greets.png", 960, 50},
    {"greets_opacity.png", 960, 50},
};

// Orders 0..22 play an empty pattern, order 23 one row, every later order 512 rows: the
// first four slots shrink to millisecond 0 and the plasma slot runs for 44 seconds.
std::vector<std::uint8_t> plasma_song() {
    std::vector<int> orders(23, 0);
    orders.push_back(1);
    orders.push_back(2);
    return make_pattern_dump(orders, {0, 1, 512});
}

}  // namespace

bool write_uniform_show_archive(const std::string& path, int music_ms, const std::vector<std::uint32_t>& font) {
    std::vector<PackItem> items;
    items.push_back({"ruk.mp3", encode_test_mp3(music_ms * 441 / 10, 44100, 2)});
    items.push_back({"patterndata.bin", plasma_song()});
    items.push_back({"pineapple3.ase.bin", std::vector<std::uint8_t>(12, 0)});
    items.push_back({"textmodechars.png", encode_png(256, 256, font)});
    for (const ImageSize& image : kImages) {
        const std::vector<std::uint32_t> black(static_cast<std::size_t>(image.width) * image.height, 0);
        items.push_back({image.name, encode_png(image.width, image.height, black)});
    }
    std::vector<std::uint8_t> archive;
    return build_archive(items, true, archive).empty() && write_file_bytes(path, archive);
}

}  // namespace textdemo::test
