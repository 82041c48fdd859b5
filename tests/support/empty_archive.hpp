// empty_archive: a file-less resource archive for suites that place their own entries.
//
// Offers: use_empty_archive (the archive starts empty, without a file, also after a
// release) and restore_archive_path (back to "ruk.salad").
#pragma once

#include "resources/archive.hpp"

namespace textdemo::test {

inline void use_empty_archive() {
    use_no_archive_file();
    release_resource_archive();
    resource_archive();
}

inline void restore_archive_path() {
    release_resource_archive();
    set_archive_path("ruk.salad");
}

}  // namespace textdemo::test
