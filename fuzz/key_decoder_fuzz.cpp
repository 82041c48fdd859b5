// key_decoder_fuzz: arbitrary terminal bytes, cut into reads at arbitrary times, through the
// console's key decoder. Whatever came before, a lone Escape typed after a pause must be seen
// exactly once, and no read gives more keys than it has bytes (plus an Escape left open).
// Depends on: key_decoder.
//
// Input: a list of reads, each one byte of length (0..63), one byte of milliseconds since the
// previous read, then that many bytes; the list ends where the input does.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "display/console/key_decoder.hpp"

using namespace textdemo;

namespace {

std::size_t escapes(const std::vector<KeyRecord>& records) {
    std::size_t count = 0;
    for (const KeyRecord& record : records) count += record.virtual_key == KEY_ESCAPE;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KeyDecoder decoder;
    std::uint32_t now_ms = 0xFFFFFF00;  // the clock wraps during some inputs
    std::vector<KeyRecord> records;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t length = std::min<std::size_t>(data[at] & 63, size - at - 2);
        now_ms += data[at + 1];
        records.clear();
        const bool open_before = decoder.state != KeyDecoder::State::Ground;
        decode_keys(decoder, data + at + 2, length, now_ms, records);
        if (records.size() > length + (open_before ? 1 : 0)) std::abort();
        at += 2 + length;
    }

    // A pause settles whatever is open; then Escape, alone in its read, and the next frame.
    records.clear();
    now_ms += SEQUENCE_TIMEOUT_MS + 1;
    decode_keys(decoder, nullptr, 0, now_ms, records);
    if (decoder.state != KeyDecoder::State::Ground) std::abort();
    records.clear();
    const std::uint8_t escape = 0x1B;
    decode_keys(decoder, &escape, 1, now_ms += 1000, records);
    decode_keys(decoder, nullptr, 0, now_ms += 16, records);
    if (records.size() != 1 || escapes(records) != 1) std::abort();
    return 0;
}
