// archive: loads the resource archive file once, keeps every decoded entry until release.
// Depends on: archive_format (layout checks and decoding), file_bytes.
#include "resources/archive.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "resources/archive_format.hpp"
#include "resources/file_bytes.hpp"

namespace textdemo {

namespace {

// Frees every entry's data with the archive, so no path out of the program leaks it.
struct ArchiveDeleter {
    void operator()(ResourceArchive* archive) const {
        for (int i = 0; i < archive->count; ++i) std::free(archive->entries[i].data);
        delete archive;
    }
};
using ArchivePointer = std::unique_ptr<ResourceArchive, ArchiveDeleter>;

std::vector<std::string> g_archive_places = {"ruk.salad"};  // empty: no file, an empty archive
ArchivePointer g_archive;

// Room for size bytes (at least one, so an empty entry still has a pointer); running out
// of memory while loading resources ends the program like any other fatal resource fault.
std::uint8_t* allocate_entry(std::size_t size, const char* name) {
    auto* data = static_cast<std::uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (!data) {
        std::printf("out of memory for resource \"%s\"\n", name);
        std::exit(-1);
    }
    return data;
}

// Fills entry i: the name with strncpy semantics (zero-padded, no terminator at 32 bytes),
// then the decoded bytes. `size` ends up as the number of bytes actually decoded.
void fill_entry(ResourceEntry& entry, std::span<const std::uint8_t> file, const DirectoryEntry& source) {
    std::strncpy(entry.name, source.name.c_str(), RESOURCE_NAME_LENGTH);
    entry.data = allocate_entry(source.unpacked_size, source.name.c_str());
    entry.size = static_cast<std::uint32_t>(decode_entry(file, source, entry.data));
}

// Reads the first of `places` that opens into `bytes` and returns its path. When none
// does, prints one line with every place's reason and ends the program with -1.
std::string read_first_place(const std::vector<std::string>& places, std::vector<std::uint8_t>& bytes) {
    std::string reasons;
    for (const std::string& path : places) {
        errno = 0;
        if (read_file_bytes(path, bytes)) return path;
        const char* reason = std::strerror(errno != 0 ? errno : EIO);
        reasons += places.size() == 1 ? reason : (reasons.empty() ? "" : "; ") + path + ": " + reason;
    }
    const std::string name = places.size() == 1 ? places[0] : std::filesystem::path(places[0]).filename().string();
    std::printf("unable to open %s: %s\n", name.c_str(), reasons.c_str());
    std::fflush(stdout);
    std::exit(-1);
}

ArchivePointer load_archive(const std::vector<std::string>& places) {
    ArchivePointer archive(new ResourceArchive{});  // value-initialised: no entries
    if (places.empty()) return archive;
    std::vector<std::uint8_t> bytes;
    const std::string path = read_first_place(places, bytes);
    std::vector<DirectoryEntry> directory;
    const std::string problem = read_archive_layout(bytes, directory);
    if (!problem.empty()) {
        std::printf("damaged resource archive %s: %s\n", path.c_str(), problem.c_str());
        std::exit(-1);
    }
    for (std::size_t i = 0; i < directory.size(); ++i) fill_entry(archive->entries[i], bytes, directory[i]);
    archive->count = static_cast<std::int32_t>(directory.size());
    return archive;
}

}  // namespace

ResourceArchive& resource_archive() {
    if (!g_archive) g_archive = load_archive(g_archive_places);
    return *g_archive;
}

const ResourceEntry* lookup_resource(const ResourceArchive& archive, const char* name) {
    for (int i = 0; i < archive.count; ++i) {
        if (std::strncmp(archive.entries[i].name, name, RESOURCE_NAME_LENGTH) == 0) return &archive.entries[i];
    }
    return nullptr;
}

const ResourceEntry& find_resource(const ResourceArchive& archive, const char* name) {
    const ResourceEntry* entry = lookup_resource(archive, name);
    if (entry == nullptr) {
        std::printf("resource \"%s\" not found\n", name);
        std::exit(-1);
    }
    return *entry;
}

void release_resource_archive() { g_archive.reset(); }

void set_archive_places(const std::vector<std::string>& places) { g_archive_places = places; }

void set_archive_path(const std::string& path) { g_archive_places = {path}; }

void use_no_archive_file() { g_archive_places.clear(); }

void put_resource(const char* name, const void* data, std::size_t size) {
    if (size > MAX_UNPACKED_ENTRY_SIZE) {
        std::printf("resource \"%s\" of %zu bytes is above the limit of %u bytes\n", name, size,
                    MAX_UNPACKED_ENTRY_SIZE);
        std::exit(-1);
    }
    ResourceArchive& archive = resource_archive();
    const ResourceEntry* existing = lookup_resource(archive, name);
    std::ptrdiff_t index = existing != nullptr ? existing - archive.entries : -1;
    if (index < 0) {
        if (archive.count == MAX_RESOURCES) {
            std::printf("resource archive full, cannot add \"%s\"\n", name);
            std::exit(-1);
        }
        index = archive.count++;
        std::strncpy(archive.entries[index].name, name, RESOURCE_NAME_LENGTH);
    }
    ResourceEntry& entry = archive.entries[index];
    std::free(entry.data);
    entry.data = allocate_entry(size, name);
    if (size > 0) std::memcpy(entry.data, data, size);
    entry.size = static_cast<std::uint32_t>(size);
}

}  // namespace textdemo
