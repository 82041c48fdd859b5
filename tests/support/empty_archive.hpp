// empty_archive: a file-less resource archive for suites that place their own entries.
//
// Offers: use_empty_archive (points the archive at a missing file and loads it, empty,
// swallowing its "unable to open" line) and restore_archive_path (back to "ruk.salad").
#pragma once

#include <gtest/gtest.h>

#include "resources/archive.hpp"

namespace textdemo::test {

inline void use_empty_archive() {
    set_archive_path(::testing::TempDir() + "no-such-archive.salad");
    release_resource_archive();
    ::testing::internal::CaptureStdout();
    resource_archive();
    ::testing::internal::GetCapturedStdout();
}

inline void restore_archive_path() {
    release_resource_archive();
    set_archive_path("ruk.salad");
}

}  // namespace textdemo::test
