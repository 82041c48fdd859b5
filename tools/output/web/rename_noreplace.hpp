// rename_noreplace: renameat2 with RENAME_NOREPLACE for the web build, whose C library has
// neither (nor hard links). Included ahead of output_file.cpp there.
#pragma once

#define RENAME_NOREPLACE 1

extern "C" int renameat2(int old_dir, const char* old_path, int new_dir, const char* new_path, unsigned flags);
