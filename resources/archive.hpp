// archive: the resource archive "ruk.salad", read and decoded whole at first use.
//
// Offers: ResourceEntry, ResourceArchive (MAX_RESOURCES entries and a count),
// load_resource_archive (reads and decodes the file), the accessor resource_archive(),
// find_resource (a Failure "resource \"NAME\" not found" on a miss), lookup_resource,
// release_resource_archive, set_archive_places / set_archive_path (where the file is looked
// for, set before loading), use_no_archive_file (an empty archive, for tools and tests that
// place their own entries) and put_resource (add or replace an entry in the archive).
// Depends on: archive_file, archive_format, failure, liblzma (LZMA-alone entries).
//
// Failures come back as a Failure, one line each: "unable to open NAME: " and why, when
// no place opens; "damaged resource archive PATH: " and what is wrong; a miss; no memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "resources/archive_format.hpp"
#include "resources/failure.hpp"

namespace textdemo {

struct ResourceEntry {
    char name[RESOURCE_NAME_LENGTH];  // zero-padded; a 32-byte name has no terminator
    std::uint32_t size;               // decoded size in bytes
    std::uint8_t* data;               // owned by the archive
};

struct ResourceArchive {
    ResourceEntry entries[MAX_RESOURCES];
    std::int32_t count;
};

// Reads the first of the archive's places that opens (by default "ruk.salad" in the
// working directory) and decodes every entry. Does nothing once an archive is loaded.
Failure load_resource_archive();

// The loaded archive; until load_resource_archive succeeds, an empty one.
ResourceArchive& resource_archive();

// Points `entry` at the first entry whose name matches in its first 32 bytes; on a miss
// "resource \"NAME\" not found" (and `entry` is null).
Failure find_resource(const ResourceArchive& archive, const char* name, const ResourceEntry*& entry);

// The same entry, or null on a miss (for tools and tests that go on without it).
const ResourceEntry* lookup_resource(const ResourceArchive& archive, const char* name);

// Frees every entry and the archive. A later load_resource_archive() reads it again.
void release_resource_archive();

// Files the accessor tries in order; takes effect at the next load. Where several places
// are tried and none opens, the line names each with its reason:
// "unable to open ruk.salad: ./ruk.salad: No such file or directory; /opt/bin/ruk.salad: ...".
void set_archive_places(const std::vector<std::string>& places);

// The one file the accessor loads: "unable to open PATH: REASON" when it does not open.
void set_archive_path(const std::string& path);

// From the next load on, loading gives an empty archive and reads no file.
void use_no_archive_file();

// Adds an entry (or replaces the first one with that name) holding a copy of the bytes;
// fails when it is larger than an archive entry may be or the archive is full.
Failure put_resource(const char* name, const void* data, std::size_t size);

}  // namespace textdemo
