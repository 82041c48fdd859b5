// make_resource_seeds: writes the seed corpora of archive_fuzz and image_fuzz.
//
//   make_resource_seeds ARCHIVE_DIR IMAGE_DIR
//
// Depends on: archive_writer, file_bytes, stb_image_write.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"

using namespace textdemo;
using Bytes = std::vector<std::uint8_t>;

namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// A width x height PNG of `channels` components with a simple gradient.
Bytes png(int width, int height, int channels) {
    Bytes pixels(static_cast<std::size_t>(width * height * channels));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37);
    Bytes out;
    stbi_write_png_to_func(append, &out, width, height, channels, pixels.data(), width * channels);
    return out;
}

Bytes archive(const std::vector<PackItem>& items, bool compress) {
    Bytes out;
    build_archive(items, compress, out);
    return out;
}

bool write(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
    if (write_file_bytes((dir / name).string(), bytes)) return true;
    std::fprintf(stderr, "make_resource_seeds: cannot write %s\n", (dir / name).string().c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_resource_seeds ARCHIVE_DIR IMAGE_DIR\n");
        return 2;
    }
    const std::filesystem::path archives = argv[1], images = argv[2];
    std::filesystem::create_directories(archives);
    std::filesystem::create_directories(images);

    Bytes text;
    for (int i = 0; i < 600; ++i) text.push_back(static_cast<std::uint8_t>("salad "[i % 6]));
    const Bytes small_png = png(4, 3, 3);
    bool ok = write(archives, "empty.salad", archive({}, true));
    ok &= write(archives, "stored.salad", archive({{"a.bin", {1, 2, 3}}, {"", {}}, {"b", {0xFF}}}, false));
    ok &= write(archives, "lzma.salad", archive({{"text.txt", text}, {"tiny", {7}}}, true));
    ok &= write(archives, "long_name.salad", archive({{std::string(32, 'n'), text}, {"image.png", small_png}}, true));
    // Two entries of one name: the packer refuses them, so the second name is changed after.
    Bytes twins = archive({{"twin", {1}}, {"twim", {2, 2}}}, false);
    twins[twins.size() - 44 + 10 + 3] ^= 'n' ^ 'm';
    ok &= write(archives, "twins.salad", twins);

    ok &= write(images, "rgb.png", small_png);
    ok &= write(images, "rgba.png", png(2, 2, 4));
    ok &= write(images, "grey.png", png(3, 1, 1));
    ok &= write(images, "grey_alpha.png", png(2, 1, 2));
    return ok ? 0 : 1;
}
