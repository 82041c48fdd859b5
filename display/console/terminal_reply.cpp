#include "display/console/terminal_reply.hpp"

#include <algorithm>

namespace textdemo {

namespace {

constexpr int LARGEST_NUMBER = 999999;

}  // namespace

int reply_numbers(std::string_view parameters, int (&values)[MAX_REPLY_NUMBERS]) {
    int count = 0;
    values[0] = 0;
    for (const char c : parameters) {
        if (c == ';') {
            if (++count == MAX_REPLY_NUMBERS) return -1;
            values[count] = 0;
        } else if (c >= '0' && c <= '9') {
            values[count] = std::min(LARGEST_NUMBER, values[count] * 10 + (c - '0'));
        } else {
            return -1;
        }
    }
    return count + 1;
}

}  // namespace textdemo
