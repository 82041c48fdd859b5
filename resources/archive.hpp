// archive: the resource archive "ruk.salad", read and decoded whole at first use.
//
// Offers: ResourceEntry, ResourceArchive (MAX_RESOURCES entries and a count), the accessor
// resource_archive() (loads the archive file on first call), find_resource (fatal on a
// miss: prints "resource \"NAME\" not found" and exits -1), release_resource_archive,
// set_archive_path (tools and tests pick another file before the first access), and
// put_resource (tools and tests add or replace an entry in the loaded archive).
// Depends on: liblzma (LZMA-alone entries).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace textdemo {

constexpr int MAX_RESOURCES = 100;
constexpr int RESOURCE_NAME_LENGTH = 32;

struct ResourceEntry {
    char name[RESOURCE_NAME_LENGTH];  // zero-padded; a 32-byte name has no terminator
    std::uint32_t size;               // decoded size in bytes
    std::uint8_t* data;               // owned by the archive
};

struct ResourceArchive {
    ResourceEntry entries[MAX_RESOURCES];
    std::int32_t count;
};

// The archive, loaded from the archive path (default "ruk.salad") on first use.
ResourceArchive& resource_archive();

// First entry whose name matches in its first 32 bytes; ends the program on a miss.
const ResourceEntry& find_resource(const ResourceArchive& archive, const char* name);

// The same entry, or null on a miss (for tools and tests that go on without it).
const ResourceEntry* lookup_resource(const ResourceArchive& archive, const char* name);

// Frees every entry and the archive. A later resource_archive() loads it again.
void release_resource_archive();

// File the accessor loads; takes effect at the next load.
void set_archive_path(const std::string& path);

// Adds an entry (or replaces the first one with that name) holding a copy of the bytes.
void put_resource(const char* name, const void* data, std::size_t size);

}  // namespace textdemo
