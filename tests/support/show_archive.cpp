#include "tests/support/show_archive.hpp"

#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo::test {

namespace {

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
    for (const ShowPicture& image : SHOW_PICTURES) {
        const std::vector<std::uint32_t> black(static_cast<std::size_t>(image.width) * image.height, 0);
        items.push_back({image.name, encode_png(image.width, image.height, black)});
    }
    std::vector<std::uint8_t> archive;
    return build_archive(items, true, archive).empty() && write_file_bytes(path, archive);
}

}  // namespace textdemo::test
