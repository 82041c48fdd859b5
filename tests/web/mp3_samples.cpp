// mp3_samples: the archive's ruk.mp3 as libmpg123 decodes it for the native players
// (gapless), for the web page's test to hold the browser's decoding against.
//
//   mp3_samples ARCHIVE FRAMES OUT
//
// Writes the first FRAMES sample frames to OUT as interleaved 32-bit floats (little-endian)
// and prints "RATE CHANNELS LENGTH", LENGTH being the sample frames of the whole stream.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/archive.hpp"
#include "tests/support/test_mp3.hpp"

int main(int argc, char** argv) {
    using namespace textdemo;
    if (argc != 4) {
        std::fprintf(stderr, "usage: mp3_samples ARCHIVE FRAMES OUT\n");
        return 2;
    }
    set_archive_path(argv[1]);
    const ResourceEntry* music = nullptr;
    Failure failure = load_resource_archive();
    if (!failure) failure = find_resource(resource_archive(), "ruk.mp3", music);
    if (failure) {
        std::fprintf(stderr, "mp3_samples: %s\n", failure.message.c_str());
        return 1;
    }
    const test::DecodedMp3 decoded = test::decode_mp3(std::vector<std::uint8_t>(music->data, music->data + music->size));
    release_resource_archive();
    if (!decoded.ok) {
        std::fprintf(stderr, "mp3_samples: libmpg123 cannot decode ruk.mp3\n");
        return 1;
    }
    const std::size_t wanted = std::strtoul(argv[2], nullptr, 10) * static_cast<std::size_t>(decoded.channels);
    const std::size_t count = wanted < decoded.samples.size() ? wanted : decoded.samples.size();
    std::FILE* out = std::fopen(argv[3], "wb");
    const bool written = out && std::fwrite(decoded.samples.data(), sizeof(float), count, out) == count;
    if (!out || std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "mp3_samples: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%ld %d %zu\n", decoded.rate, decoded.channels, decoded.samples.size() / static_cast<std::size_t>(decoded.channels));
    return 0;
}
