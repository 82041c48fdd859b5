// mp3_length: frame headers walked one by one; every read is checked against the bytes left.
#include "song/mp3_length.hpp"

#include <cstring>
#include <optional>

namespace textdemo {

namespace {

struct FrameHeader {
    int version = 0;  // 1: MPEG-1, 2: MPEG-2, 25: MPEG-2.5
    std::uint32_t rate = 0;
    int channels = 0;
    bool crc = false;
    std::size_t size = 0;     // bytes, header included
    std::uint32_t samples = 0;  // sample frames it holds
};

constexpr int MPEG1_KBPS[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int MPEG2_KBPS[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::uint32_t MPEG1_RATES[3] = {44100, 48000, 32000};

// The layer III header at the start of bytes, or nothing (also for free-format frames,
// whose size the header does not give).
std::optional<FrameHeader> read_header(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
    const int version_bits = (bytes[1] >> 3) & 3, layer_bits = (bytes[1] >> 1) & 3;
    const int bitrate_index = bytes[2] >> 4, rate_index = (bytes[2] >> 2) & 3;
    if (version_bits == 1 || layer_bits != 1 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
        return std::nullopt;
    FrameHeader header;
    header.version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
    header.rate = MPEG1_RATES[rate_index] / (header.version == 1 ? 1 : header.version == 2 ? 2 : 4);
    header.channels = (bytes[3] >> 6) == 3 ? 1 : 2;
    header.crc = (bytes[1] & 1) == 0;
    const bool mpeg1 = header.version == 1;
    const std::uint32_t kbps = static_cast<std::uint32_t>((mpeg1 ? MPEG1_KBPS : MPEG2_KBPS)[bitrate_index]);
    const std::uint32_t padding = (bytes[2] >> 1) & 1;
    header.size = (mpeg1 ? 144000u : 72000u) * kbps / header.rate + padding;
    header.samples = mpeg1 ? 1152 : 576;
    return header;
}

std::size_t id3v2_size(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 10 || std::memcmp(bytes.data(), "ID3", 3) != 0) return 0;
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | (bytes[i] & 0x7F);
    size += 10;
    if (bytes[5] & 0x10) size += 10;  // footer
    return size;
}

std::uint32_t read_be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

struct InfoFrame {
    bool present = false;
    std::uint32_t delay = 0, padding = 0;  // from the LAME tag, 0 without one
};

// A Xing or Info frame: the encoder's summary, holding no sound.
InfoFrame read_info_frame(std::span<const std::uint8_t> frame, const FrameHeader& header) {
    const std::size_t side_info = header.version == 1 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    std::size_t at = 4 + (header.crc ? 2 : 0) + side_info;
    InfoFrame info;
    if (frame.size() < at + 8) return info;
    if (std::memcmp(&frame[at], "Xing", 4) != 0 && std::memcmp(&frame[at], "Info", 4) != 0) return info;
    info.present = true;
    const std::uint32_t flags = read_be32(&frame[at + 4]);
    at += 8;
    if (flags & 1) at += 4;    // frame count
    if (flags & 2) at += 4;    // byte count
    if (flags & 4) at += 100;  // seek table
    if (flags & 8) at += 4;    // quality
    // The LAME tag: a 9-byte encoder name, then the delay and padding as two 12-bit numbers at 21.
    if (frame.size() >= at + 24) {
        const std::uint8_t* tag = &frame[at + 21];
        info.delay = (std::uint32_t{tag[0]} << 4) | (tag[1] >> 4);
        info.padding = (std::uint32_t{tag[1] & 15u} << 8) | tag[2];
    }
    return info;
}

}  // namespace

Mp3Length scan_mp3_length(std::span<const std::uint8_t> bytes) {
    Mp3Length length;
    std::size_t at = id3v2_size(bytes);
    const std::optional<FrameHeader> first = at < bytes.size() ? read_header(bytes.subspan(at)) : std::nullopt;
    if (!first || first->size > bytes.size() - at) {
        length.problem = "no MPEG layer III frame where the sound should begin";
        return length;
    }
    length.rate = first->rate;
    length.channels = first->channels;
    const InfoFrame info = read_info_frame(bytes.subspan(at, first->size), *first);
    if (info.present) at += first->size;

    std::uint64_t samples = 0;
    while (at < bytes.size()) {
        const std::optional<FrameHeader> header = read_header(bytes.subspan(at));
        if (!header || header->rate != first->rate || header->version != first->version ||
            header->size > bytes.size() - at)
            break;
        samples += header->samples;
        at += header->size;
    }
    if (samples <= std::uint64_t{info.delay} + info.padding) {
        length.problem = "the stream holds no sound";
        return length;
    }
    length.sample_frames = samples - info.delay - info.padding;
    return length;
}

}  // namespace textdemo
