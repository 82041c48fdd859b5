// rename_noreplace: the target is checked before the rename. Not atomic: under Node the
// tool is the only writer of its outputs, which is what this build runs it for.
#include "tools/output/web/rename_noreplace.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>

extern "C" int renameat2(int old_dir, const char* old_path, int new_dir, const char* new_path, unsigned flags) {
    struct stat existing {};
    if ((flags & RENAME_NOREPLACE) && fstatat(new_dir, new_path, &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return renameat(old_dir, old_path, new_dir, new_path);
}
