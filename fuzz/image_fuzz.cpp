// image_fuzz: arbitrary bytes as a PNG archive entry, loaded through load_image.
// Depends on: archive (put_resource), image.
#include <cstdint>
#include <cstdlib>

#include "resources/archive.hpp"
#include "resources/image.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    textdemo::use_no_archive_file();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    textdemo::Image image;
    // Every input fits an entry of an empty archive and is found again.
    if (textdemo::put_resource("fuzz.png", data, size) || textdemo::load_image(image, "fuzz.png")) std::abort();
    const bool consistent = image.width > 0 && image.height > 0 && image.count == image.width * image.height &&
                            image.pixels.size() == static_cast<std::size_t>(image.count);
    if (!consistent) std::abort();
    return 0;
}
