// library_chatter: keeps what libraries print while they look for devices (ALSA's
// configuration complaints, a sound server's or Wayland's warnings) off the terminal.
//
// Offers: without_library_chatter(work), silence_standard_error and restore_standard_error.
// Depends on: POSIX file descriptors.
//
// Standard error points at /dev/null while `work` runs and is put back afterwards. It is
// the whole process's standard error, so the spans stay short (opening and closing
// devices) and the program prints its own messages outside them.
#pragma once

#include <type_traits>

namespace textdemo {

// Returns the descriptor to put back, or -1 when standard error was left as it was.
int silence_standard_error();
void restore_standard_error(int saved);

// Runs work() with standard error silenced and returns what it returns.
template <typename Work>
auto without_library_chatter(Work&& work) {
    const int saved = silence_standard_error();
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        restore_standard_error(saved);
    } else {
        auto result = work();
        restore_standard_error(saved);
        return result;
    }
}

}  // namespace textdemo
