// mp3_length_fuzz: arbitrary bytes as the music; the scan reads only inside them (the
// sanitizers check) and either measures sound or gives a reason.
// Depends on: mp3_length.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "song/mp3_length.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const textdemo::Mp3Length length = textdemo::scan_mp3_length(std::span<const std::uint8_t>(data, size));
    if (length.problem.empty() == (length.sample_frames == 0)) std::abort();
    return 0;
}
