// archive_format: checks an archive image's header and directory, decodes its entries.
// Depends on: liblzma.
#include "resources/archive_format.hpp"

#include <lzma.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace textdemo {

namespace {

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// The problem with one directory entry, or "" when it may be trusted. `room` is the number
// of data-area bytes left before the directory; `unpacked_total` accumulates.
std::string check_entry(int index, const DirectoryEntry& entry, std::size_t room, std::uint64_t& unpacked_total) {
    const std::string who = format("entry %d (\"%s\")", index, printable_name(entry.name).c_str());
    if (entry.unpacked_size > MAX_UNPACKED_ENTRY_SIZE) {
        return format("%s: unpacked size %u is above the limit of %u bytes", who.c_str(), entry.unpacked_size,
                      MAX_UNPACKED_ENTRY_SIZE);
    }
    unpacked_total += entry.unpacked_size;
    if (unpacked_total > MAX_UNPACKED_ARCHIVE_SIZE) {
        return format("%s: unpacked sizes add up to more than the limit of %llu bytes", who.c_str(),
                      static_cast<unsigned long long>(MAX_UNPACKED_ARCHIVE_SIZE));
    }
    if (!entry.compressed && entry.stored_size < entry.unpacked_size) {
        return format("%s: stored size %u is smaller than its unpacked size %u", who.c_str(), entry.stored_size,
                      entry.unpacked_size);
    }
    if (entry.compressed && entry.stored_size < LZMA_ALONE_HEADER_SIZE) {
        return format("%s: compressed data of %u bytes is shorter than the %zu-byte LZMA header", who.c_str(),
                      entry.stored_size, LZMA_ALONE_HEADER_SIZE);
    }
    if (entry.stored_size > room) {
        return format("%s: stored data of %u bytes runs past the start of the directory", who.c_str(),
                      entry.stored_size);
    }
    return "";
}

// The first two entries of one name, or "" when every name is used once. A lookup finds
// only the first of them, so the second would be dead weight or a disguise.
std::string duplicate_names(std::vector<DirectoryEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t k = i + 1; k < entries.size(); ++k) {
            if (entries[i].name != entries[k].name) continue;
            const std::string problem = format("entries %zu and %zu are both named \"%s\"", i, k,
                                               printable_name(entries[i].name).c_str());
            entries.clear();
            return problem;
        }
    }
    return "";
}

}  // namespace

std::string printable_name(const std::string& name) {
    std::string shown = name;
    for (char& c : shown) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    return shown;
}

std::string archive_file_problem(std::uint64_t file_size, std::span<const std::uint8_t> head) {
    if (file_size > MAX_ARCHIVE_FILE_SIZE) {
        return format("file of %llu bytes is larger than an archive can be (%llu bytes)",
                      static_cast<unsigned long long>(file_size), static_cast<unsigned long long>(MAX_ARCHIVE_FILE_SIZE));
    }
    if (head.size() < ARCHIVE_MAGIC_SIZE || !std::equal(ARCHIVE_MAGIC, ARCHIVE_MAGIC + ARCHIVE_MAGIC_SIZE, head.begin()))
        return "does not start with \"SALAD\"";
    return "";
}

std::string read_archive_layout(std::span<const std::uint8_t> file, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    if (const std::string problem = archive_file_problem(file.size(), file.first(std::min(file.size(), ARCHIVE_HEADER_SIZE)));
        !problem.empty())
        return problem;
    if (file.size() < ARCHIVE_HEADER_SIZE) {
        return format("file of %zu bytes is shorter than the %zu-byte header", file.size(), ARCHIVE_HEADER_SIZE);
    }
    const auto count = static_cast<std::int16_t>(file[6] | file[7] << 8);
    if (count < 0 || count > MAX_RESOURCES) {
        return format("entry count %d is outside 0..%d", count, MAX_RESOURCES);
    }
    const std::size_t directory_size = DIRECTORY_ENTRY_SIZE * static_cast<std::size_t>(count);
    if (file.size() - ARCHIVE_HEADER_SIZE < directory_size) {
        return format("directory of %d entries does not fit in a file of %zu bytes", count, file.size());
    }
    const std::size_t directory_start = file.size() - directory_size;

    std::size_t data_offset = ARCHIVE_HEADER_SIZE;
    std::uint64_t unpacked_total = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* raw = file.data() + directory_start + DIRECTORY_ENTRY_SIZE * static_cast<std::size_t>(i);
        const auto name_length = static_cast<std::int8_t>(raw[9]);
        if (name_length < 0 || name_length > RESOURCE_NAME_LENGTH) {
            entries.clear();
            return format("entry %d: name length %d is outside 0..%d", i, name_length, RESOURCE_NAME_LENGTH);
        }
        DirectoryEntry entry{std::string(static_cast<std::size_t>(name_length), '\0'), read_le32(raw),
                             read_le32(raw + 4), raw[8] == COMPRESSED_FLAG, data_offset};
        for (int k = 0; k < name_length; ++k) {
            entry.name[k] = static_cast<char>(raw[DIRECTORY_NAME_OFFSET + k] ^ 0x80);
        }
        const std::string problem = check_entry(i, entry, directory_start - data_offset, unpacked_total);
        if (!problem.empty()) {
            entries.clear();
            return problem;
        }
        data_offset += entry.stored_size;
        entries.push_back(std::move(entry));
    }
    return duplicate_names(entries);
}

std::size_t decode_lzma_alone(std::span<const std::uint8_t> stored, std::uint8_t* out, std::size_t out_size) {
    if (stored.size() < LZMA_ALONE_HEADER_SIZE || out_size == 0) return 0;

    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, stored.data(), LZMA_PROPERTIES_SIZE) != LZMA_OK) return 0;
    // Matches never reach back further than the output, so a dictionary larger than the
    // output is never needed; capping it keeps a bogus property byte from costing gigabytes.
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    options->dict_size = static_cast<std::uint32_t>(
        std::min<std::size_t>(options->dict_size, std::max<std::size_t>(out_size, LZMA_DICT_SIZE_MIN)));

    lzma_stream stream = LZMA_STREAM_INIT;
    std::size_t produced = 0;
    if (lzma_raw_decoder(&stream, filters) == LZMA_OK) {
        stream.next_in = stored.data() + LZMA_ALONE_HEADER_SIZE;
        stream.avail_in = stored.size() - LZMA_ALONE_HEADER_SIZE;
        stream.next_out = out;
        stream.avail_out = out_size;
        // Runs until the output is full, the end marker, damaged data or no more input.
        while (stream.avail_out > 0 && lzma_code(&stream, LZMA_FINISH) == LZMA_OK) {
        }
        produced = out_size - stream.avail_out;
    }
    lzma_end(&stream);
    std::free(filters[0].options);
    return produced;
}

std::size_t decode_entry(std::span<const std::uint8_t> file, const DirectoryEntry& entry, std::uint8_t* out) {
    const auto stored = file.subspan(entry.data_offset, entry.stored_size);
    if (entry.compressed) return decode_lzma_alone(stored, out, entry.unpacked_size);
    if (entry.unpacked_size > 0) std::memcpy(out, stored.data(), entry.unpacked_size);
    return entry.unpacked_size;
}

}  // namespace textdemo
