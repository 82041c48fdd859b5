#include "tests/support/test_content.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "resources/archive.hpp"
#include "song/pattern_data.hpp"

namespace textdemo::test {

namespace {
void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}
void put_le32(std::vector<std::uint8_t>& out, std::size_t at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
}  // namespace

void require(const Failure& failure) {
    if (!failure) return;
    std::fprintf(stderr, "test resources: %s\n", failure.message.c_str());
    std::abort();
}

std::vector<std::uint8_t> encode_png(int width, int height, const std::vector<std::uint32_t>& words) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
        rgb[i * 3] = static_cast<std::uint8_t>(words[i] >> 16);
        rgb[i * 3 + 1] = static_cast<std::uint8_t>(words[i] >> 8);
        rgb[i * 3 + 2] = static_cast<std::uint8_t>(words[i]);
    }
    std::vector<std::uint8_t> png;
    stbi_write_png_to_func(append_bytes, &png, width, height, 3, rgb.data(), width * 3);
    return png;
}

std::vector<std::uint8_t> make_pattern_dump(const std::vector<int>& orders, const std::vector<int>& row_counts,
                                            const std::vector<PlaneByte>& bytes) {
    constexpr std::size_t RECORD = 13828, ORDER_LIST = 525488;
    std::vector<std::uint8_t> dump(PATTERN_DUMP_SIZE, 0);
    for (int p = 0; p < PATTERN_COUNT; ++p) {
        const int rows = p < static_cast<int>(row_counts.size()) ? row_counts[p] : 64;
        put_le32(dump, 24 + RECORD * p + 13824, rows);
    }
    for (int i = 0; i < ORDER_COUNT; ++i) {
        const int pattern = orders.empty() ? 0 : orders[std::min<std::size_t>(i, orders.size() - 1)];
        put_le32(dump, ORDER_LIST + 4 * i, pattern);
    }
    for (const PlaneByte& b : bytes) dump[24 + RECORD * b.pattern + 512 * b.plane + b.row] = b.value;
    return dump;
}

void put_png(const char* name, int width, int height, const std::vector<std::uint32_t>& words) {
    const auto png = encode_png(width, height, words);
    require(put_resource(name, png.data(), png.size()));
}

void put_pattern_dump(const std::vector<int>& orders, const std::vector<int>& row_counts,
                      const std::vector<PlaneByte>& bytes) {
    const auto dump = make_pattern_dump(orders, row_counts, bytes);
    require(put_resource("patterndata.bin", dump.data(), dump.size()));
    release_pattern_data();
    require(load_pattern_data());
}

namespace {
void append_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
template <typename Record>
void append_records(std::vector<std::uint8_t>& out, const std::vector<Record>& records) {
    for (const Record& record : records) {
        std::int32_t words[sizeof(Record) / 4];
        std::memcpy(words, &record, sizeof record);
        for (std::int32_t w : words) {
            out.resize(out.size() + 4);
            put_le32(out, out.size() - 4, w);
        }
    }
}
}  // namespace

std::vector<std::uint8_t> encode_mesh(const MeshContent& content) {
    std::vector<std::uint8_t> bytes;
    append_be32(bytes, static_cast<std::uint32_t>(content.vertices.size()));
    append_be32(bytes, static_cast<std::uint32_t>(content.faces.size()));
    append_be32(bytes, static_cast<std::uint32_t>(content.tex_coords.size()));
    append_records(bytes, content.vertices);
    append_records(bytes, content.faces);
    append_records(bytes, content.tex_coords);
    append_records(bytes, content.tex_faces);
    return bytes;
}

void put_mesh(const MeshContent& content) {
    const auto bytes = encode_mesh(content);
    require(put_resource(MESH_RESOURCE_NAME, bytes.data(), bytes.size()));
}

}  // namespace textdemo::test
