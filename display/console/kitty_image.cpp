#include "display/console/kitty_image.hpp"

#include <algorithm>

#include <zlib.h>

namespace textdemo {

namespace {

constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16 |
                                    (left > 1 ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                    (left > 2 ? bytes[i + 2] : 0);
        text += BASE64[group >> 18 & 63];
        text += BASE64[group >> 12 & 63];
        text += left > 1 ? BASE64[group >> 6 & 63] : '=';
        text += left > 2 ? BASE64[group & 63] : '=';
    }
    return text;
}

}  // namespace

std::vector<std::uint8_t> compress_picture(std::span<const std::uint8_t> bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> compressed(size);
    if (compress2(compressed.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 1) != Z_OK) return {};
    compressed.resize(size);
    return compressed;
}

void append_kitty_image(std::span<const std::uint8_t> compressed_rgb, const KittyPlacement& placement, std::string& out) {
    const std::string payload = base64(compressed_rgb);
    out += "\x1b_Ga=T,f=24,o=z,q=2,C=1,p=1,i=" + std::to_string(placement.id) + ",s=" + std::to_string(placement.width) +
           ",v=" + std::to_string(placement.height);
    if (placement.x_offset > 0) out += ",X=" + std::to_string(placement.x_offset);
    if (placement.y_offset > 0) out += ",Y=" + std::to_string(placement.y_offset);
    std::size_t sent = 0;
    do {
        const std::size_t chunk = std::min(KITTY_CHUNK_BYTES, payload.size() - sent);
        if (sent > 0) out += "\x1b_G";
        else out += ',';
        out += sent + chunk < payload.size() ? "m=1;" : "m=0;";
        out.append(payload, sent, chunk);
        out += "\x1b\\";
        sent += chunk;
    } while (sent < payload.size());
}

void append_kitty_delete(int id, std::string& out) { out += "\x1b_Ga=d,d=I,q=2,i=" + std::to_string(id) + "\x1b\\"; }

}  // namespace textdemo
