// archive: the resource archive "ruk.salad", read and decoded whole at first use.
//
// Offers: ResourceEntry, ResourceArchive (MAX_RESOURCES entries and a count), the accessor
// resource_archive() (loads the archive file on first call), find_resource (fatal on a
// miss: prints "resource \"NAME\" not found" and exits -1), release_resource_archive,
// set_archive_places / set_archive_path (where the file is looked for, set before the
// first access), use_no_archive_file (an empty archive, for tools and tests that place
// their own entries) and put_resource (add or replace an entry in the loaded archive).
// Depends on: archive_format, file_bytes, liblzma (LZMA-alone entries).
//
// An archive that cannot be opened anywhere it is looked for is fatal: one line,
// "unable to open NAME: " and why, then exit code -1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The archive, loaded on first use from the first of its places that opens (by default
// "ruk.salad" in the working directory). When none opens, prints why and exits with -1.
ResourceArchive& resource_archive();

// First entry whose name matches in its first 32 bytes; ends the program on a miss.
const ResourceEntry& find_resource(const ResourceArchive& archive, const char* name);

// The same entry, or null on a miss (for tools and tests that go on without it).
const ResourceEntry* lookup_resource(const ResourceArchive& archive, const char* name);

// Frees every entry and the archive. A later resource_archive() loads it again.
void release_resource_archive();

// Files the accessor tries in order; takes effect at the next load. Where several places
// are tried and none opens, the line names each with its reason:
// "unable to open ruk.salad: ./ruk.salad: No such file or directory; /opt/bin/ruk.salad: ...".
void set_archive_places(const std::vector<std::string>& places);

// The one file the accessor loads: "unable to open PATH: REASON" when it does not open.
void set_archive_path(const std::string& path);

// From the next load on, the accessor starts from an empty archive and reads no file.
void use_no_archive_file();

// Adds an entry (or replaces the first one with that name) holding a copy of the bytes.
void put_resource(const char* name, const void* data, std::size_t size);

}  // namespace textdemo
