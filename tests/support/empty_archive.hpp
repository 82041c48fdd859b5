// empty_archive: the resource archive for suites: file-less, or loaded with its failure
// checked.
//
// Offers: use_empty_archive (the archive starts empty, without a file, also after a
// release), restore_archive_path (back to "ruk.salad"), loaded_archive (loads where the
// archive points; a failure fails the test) and entry_named (an entry the test expects).
#pragma once

#include <gtest/gtest.h>

#include "resources/archive.hpp"

namespace textdemo::test {

inline void use_empty_archive() {
    use_no_archive_file();
    release_resource_archive();
    EXPECT_FALSE(load_resource_archive());
}

inline void restore_archive_path() {
    release_resource_archive();
    set_archive_path("ruk.salad");
}

inline ResourceArchive& loaded_archive() {
    const Failure failure = load_resource_archive();
    EXPECT_EQ(failure.message, "");
    return resource_archive();
}

// The entry `name` of `archive`; a miss fails the test and gives an empty entry.
inline const ResourceEntry& entry_named(const ResourceArchive& archive, const char* name) {
    static const ResourceEntry none{};
    const ResourceEntry* entry = nullptr;
    const Failure failure = find_resource(archive, name, entry);
    EXPECT_EQ(failure.message, "");
    return entry ? *entry : none;
}

}  // namespace textdemo::test
