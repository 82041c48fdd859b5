// pty_program: a program started in a pty pair of the test's own, as in a terminal.
//
// Offers: start_in_pty.
// Depends on: POSIX fork, exec, setsid, prctl.
#pragma once

#include <vector>

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace textdemo::test {

// Forks and runs `env` with `arguments` (variables, then the program and its arguments):
// the slave becomes the child's controlling terminal and standard input, output and error,
// and the child is killed when the test process dies. Returns the child's pid (-1 if the
// fork failed); the caller keeps both descriptors.
inline pid_t start_in_pty(int master, int slave, std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "env");
    arguments.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a test that was stopped
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        for (int descriptor = 0; descriptor < 3; ++descriptor) dup2(slave, descriptor);
        close(master);
        close(slave);
        execv("/usr/bin/env", const_cast<char* const*>(arguments.data()));
        _exit(127);
    }
    return child;
}

}  // namespace textdemo::test
