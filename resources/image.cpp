// image: PNG archive entries decoded with stb_image into 0x00RRGGBB words.
// Depends on: archive (find_resource, printable_name), png_chunks, stb_image.
#include "resources/image.hpp"

#include <climits>
#include <cstdio>

#include "resources/archive.hpp"
#include "resources/archive_format.hpp"
#include "resources/png_chunks.hpp"

// The one stb_image implementation of the library: PNG only, decoded from memory. Pictures
// above 4096 pixels a side are refused by the decoder ("too large"); the show's largest is
// a few hundred pixels, and the limit keeps a damaged header from claiming gigabytes.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 4096
#include <stb_image.h>

namespace textdemo {

Failure load_image(Image& image, const char* name) {
    const ResourceEntry* found = nullptr;
    if (Failure failure = find_resource(resource_archive(), name, found)) return failure;
    const ResourceEntry& entry = *found;

    std::vector<std::uint8_t> scratch;
    std::span<const std::uint8_t> png;
    const char* refused = prepare_png({entry.data, entry.size}, scratch, png);
    static_assert(MAX_UNPACKED_ENTRY_SIZE <= INT_MAX, "entry sizes must fit the decoder's int");

    int width = 0, height = 0, channels = 0;
    stbi_uc* rgb = refused ? nullptr
                           : stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3);
    if (!rgb) {
        // The decoder's reason can quote bytes of the file (an unknown chunk type): keep it one line.
        const char* reason = refused ? refused : stbi_failure_reason();
        std::printf("bitmap loading failed! %s (%s)\n", name, printable_name(reason).c_str());
        width = FALLBACK_IMAGE_WIDTH;
        height = FALLBACK_IMAGE_HEIGHT;
    }
    image.width = width;
    image.height = height;
    image.count = width * height;  // the decoder keeps width x height x 3 within int
    image.pixels.assign(static_cast<std::size_t>(image.count), 0);
    if (!rgb) return {};
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const stbi_uc* p = rgb + 3 * i;
        image.pixels[i] = static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgb);
    return {};
}

Failure load_images(std::initializer_list<ImageSource> sources) {
    for (const ImageSource& source : sources) {
        if (Failure failure = load_image(source.image, source.name)) return failure;
    }
    return {};
}

}  // namespace textdemo
