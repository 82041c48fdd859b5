// archive: loads the resource archive file once, keeps every decoded entry until release.
// Depends on: archive_file (the file judged, then read), archive_format (layout checks and
// decoding), failure.
#include "resources/archive.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "resources/archive_file.hpp"
#include "resources/archive_format.hpp"

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

Failure out_of_memory_for(const char* name) { return {"out of memory for resource \"" + std::string(name) + "\""}; }

// Room for size bytes (at least one, so an empty entry still has a pointer); null when
// memory runs out.
std::uint8_t* allocate_entry(std::size_t size) { return static_cast<std::uint8_t*>(std::malloc(size > 0 ? size : 1)); }

// Fills entry i: the name with strncpy semantics (zero-padded, no terminator at 32 bytes),
// then the decoded bytes. `size` ends up as the number of bytes actually decoded.
Failure fill_entry(ResourceEntry& entry, std::span<const std::uint8_t> file, const DirectoryEntry& source) {
    std::strncpy(entry.name, source.name.c_str(), RESOURCE_NAME_LENGTH);
    entry.data = allocate_entry(source.unpacked_size);
    if (!entry.data) return out_of_memory_for(source.name.c_str());
    entry.size = static_cast<std::uint32_t>(decode_entry(file, source, entry.data));
    return {};
}

// Reads the first of `places` that opens into `bytes` and sets `path` to it. When none
// does, the failure names every place with its reason; the first that opens but is no
// archive (a FIFO, a device, too large, no magic) is the failure itself.
Failure read_first_place(const std::vector<std::string>& places, std::vector<std::uint8_t>& bytes, std::string& path) {
    std::string reasons;
    for (const std::string& place : places) {
        errno = 0;
        std::string problem;
        if (read_archive_file(place, bytes, problem)) {
            path = place;
            return {};
        }
        if (!problem.empty()) return {"damaged resource archive " + place + ": " + problem};
        const char* reason = std::strerror(errno != 0 ? errno : EIO);
        reasons += places.size() == 1 ? reason : (reasons.empty() ? "" : "; ") + place + ": " + reason;
    }
    const std::string name = places.size() == 1 ? places[0] : std::filesystem::path(places[0]).filename().string();
    return {"unable to open " + name + ": " + reasons};
}

Failure load_archive(const std::vector<std::string>& places, ArchivePointer& archive) {
    archive.reset(new ResourceArchive{});  // value-initialised: no entries
    if (places.empty()) return {};
    std::vector<std::uint8_t> bytes;
    std::string path;
    if (Failure failure = read_first_place(places, bytes, path)) return failure;
    std::vector<DirectoryEntry> directory;
    const std::string problem = read_archive_layout(bytes, directory);
    if (!problem.empty()) return {"damaged resource archive " + path + ": " + problem};
    for (std::size_t i = 0; i < directory.size(); ++i) {
        // Counted as it fills, so a failure part way frees what was filled.
        archive->count = static_cast<std::int32_t>(i + 1);
        if (Failure failure = fill_entry(archive->entries[i], bytes, directory[i])) return failure;
    }
    return {};
}

}  // namespace

Failure load_resource_archive() {
    if (g_archive) return {};
    ArchivePointer archive;
    Failure failure = load_archive(g_archive_places, archive);
    if (!failure) g_archive = std::move(archive);
    return failure;
}

ResourceArchive& resource_archive() {
    if (!g_archive) g_archive.reset(new ResourceArchive{});
    return *g_archive;
}

const ResourceEntry* lookup_resource(const ResourceArchive& archive, const char* name) {
    for (int i = 0; i < archive.count; ++i) {
        if (std::strncmp(archive.entries[i].name, name, RESOURCE_NAME_LENGTH) == 0) return &archive.entries[i];
    }
    return nullptr;
}

Failure find_resource(const ResourceArchive& archive, const char* name, const ResourceEntry*& entry) {
    entry = lookup_resource(archive, name);
    if (entry == nullptr) return {"resource \"" + std::string(name) + "\" not found"};
    return {};
}

void release_resource_archive() { g_archive.reset(); }

void set_archive_places(const std::vector<std::string>& places) { g_archive_places = places; }

void set_archive_path(const std::string& path) { g_archive_places = {path}; }

void use_no_archive_file() { g_archive_places.clear(); }

Failure put_resource(const char* name, const void* data, std::size_t size) {
    if (size > MAX_UNPACKED_ENTRY_SIZE) {
        return {"resource \"" + std::string(name) + "\" of " + std::to_string(size) + " bytes is above the limit of " +
                std::to_string(MAX_UNPACKED_ENTRY_SIZE) + " bytes"};
    }
    ResourceArchive& archive = resource_archive();
    const ResourceEntry* existing = lookup_resource(archive, name);
    std::ptrdiff_t index = existing != nullptr ? existing - archive.entries : -1;
    if (index < 0 && archive.count == MAX_RESOURCES)
        return {"resource archive full, cannot add \"" + std::string(name) + "\""};
    std::uint8_t* copy = allocate_entry(size);
    if (!copy) return out_of_memory_for(name);
    if (index < 0) {
        index = archive.count++;
        std::strncpy(archive.entries[index].name, name, RESOURCE_NAME_LENGTH);
    }
    ResourceEntry& entry = archive.entries[index];
    std::free(entry.data);
    entry.data = copy;
    if (size > 0) std::memcpy(entry.data, data, size);
    entry.size = static_cast<std::uint32_t>(size);
    return {};
}

}  // namespace textdemo
