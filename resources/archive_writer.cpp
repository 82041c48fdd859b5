// archive_writer: lays out header, data area and directory; compresses with liblzma.
// Depends on: archive_format, liblzma.
#include "resources/archive_writer.hpp"

#include <lzma.h>

#include <cstdlib>
#include <set>

#include "resources/archive_format.hpp"

namespace textdemo {

namespace {

// Preset 6 (8 MiB dictionary) compresses the show's resources about as well as the
// larger presets without their gigabyte of encoder memory.
constexpr std::uint32_t LZMA_PRESET = 6;

void append_le32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::string check_items(const std::vector<PackItem>& items) {
    if (items.size() > static_cast<std::size_t>(MAX_RESOURCES)) {
        return std::to_string(items.size()) + " files are more than the " + std::to_string(MAX_RESOURCES) +
               " an archive holds";
    }
    std::set<std::string> names;
    std::uint64_t total = 0;
    for (const PackItem& item : items) {
        if (item.name.empty()) return "an entry needs a name";
        if (item.name.size() > static_cast<std::size_t>(RESOURCE_NAME_LENGTH)) {
            return "name \"" + item.name + "\" is longer than " + std::to_string(RESOURCE_NAME_LENGTH) + " bytes";
        }
        if (!names.insert(item.name).second) return "name \"" + item.name + "\" is given twice";
        total += item.data.size();
        if (item.data.size() > MAX_UNPACKED_ENTRY_SIZE || total > MAX_UNPACKED_ARCHIVE_SIZE) {
            return "\"" + item.name + "\" takes the archive past its size limit of " +
                   std::to_string(MAX_UNPACKED_ENTRY_SIZE) + " bytes an entry and " +
                   std::to_string(MAX_UNPACKED_ARCHIVE_SIZE) + " bytes in all";
        }
    }
    return "";
}

}  // namespace

std::vector<std::uint8_t> encode_lzma_alone(std::span<const std::uint8_t> data) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, LZMA_PRESET);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK) std::abort();  // only fails without memory
    std::vector<std::uint8_t> out(data.size() + data.size() / 8 + 4096);
    stream.next_in = data.data();
    stream.avail_in = data.size();
    stream.next_out = out.data();
    stream.avail_out = out.size();
    lzma_ret result;
    while ((result = lzma_code(&stream, LZMA_FINISH)) == LZMA_OK) {
        const std::size_t used = out.size() - stream.avail_out;
        out.resize(out.size() * 2);
        stream.next_out = out.data() + used;
        stream.avail_out = out.size() - used;
    }
    if (result != LZMA_STREAM_END) std::abort();
    out.resize(out.size() - stream.avail_out);
    lzma_end(&stream);
    return out;
}

bool worth_compressing(std::size_t size, std::size_t packed_size) {
    return packed_size < size && (size - packed_size) * MIN_SAVING_SHARE >= size;
}

std::string build_archive(const std::vector<PackItem>& items, bool allow_compression,
                          std::vector<std::uint8_t>& archive) {
    const std::string problem = check_items(items);
    if (!problem.empty()) return problem;

    const auto count = static_cast<std::uint16_t>(items.size());
    archive = {'S', 'A', 'L', 'A', 'D', 1, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
               0, 0, 0, 0};
    std::vector<std::uint8_t> directory;
    for (const PackItem& item : items) {
        std::vector<std::uint8_t> packed;
        if (allow_compression) packed = encode_lzma_alone(item.data);
        const bool compressed = allow_compression && worth_compressing(item.data.size(), packed.size());
        const std::vector<std::uint8_t>& stored = compressed ? packed : item.data;
        archive.insert(archive.end(), stored.begin(), stored.end());

        append_le32(directory, static_cast<std::uint32_t>(stored.size()));
        append_le32(directory, static_cast<std::uint32_t>(item.data.size()));
        directory.push_back(compressed ? COMPRESSED_FLAG : 0);
        directory.push_back(static_cast<std::uint8_t>(item.name.size()));
        for (std::size_t i = 0; i < DIRECTORY_NAME_FIELD; ++i) {
            // Names are stored with bit 7 inverted; the unused tail of the field stays 0.
            directory.push_back(i < item.name.size() ? static_cast<std::uint8_t>(item.name[i] ^ 0x80) : 0);
        }
    }
    archive.insert(archive.end(), directory.begin(), directory.end());
    return "";
}

}  // namespace textdemo
