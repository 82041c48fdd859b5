// stdout_to_stderr: lets death tests match the one-line messages the program prints on
// standard output (gtest only sees a dying child's standard error).
#pragma once

#include <unistd.h>

#include <cstdio>

namespace textdemo::test {

inline void stdout_to_stderr() {
    std::fflush(stdout);
    dup2(2, 1);
}

}  // namespace textdemo::test
