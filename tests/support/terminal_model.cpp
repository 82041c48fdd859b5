#include "tests/support/terminal_model.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace textdemo::test {

namespace {

// SGR parameters from index i on: one colour of 38/48 (5;n or 2;r;g;b); i moves past it.
int extended_colour(const std::vector<int>& numbers, std::size_t& i) {
    if (i + 2 < numbers.size() && numbers[i + 1] == 5) {
        i += 2;
        return model_indexed(numbers[i]);
    }
    if (i + 4 < numbers.size() && numbers[i + 1] == 2) {
        i += 4;
        return model_rgb(numbers[i - 2], numbers[i - 1], numbers[i]);
    }
    ADD_FAILURE() << "incomplete extended colour";
    i = numbers.size();
    return model_default();
}

}  // namespace

TerminalModel::TerminalModel(int r, int c)
    : rows(r), columns(c), text(r * c, " "), foreground(r * c, model_default()), background(r * c, model_default()) {}

void TerminalModel::apply(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead == '\r') {
            column = 0;
            ++i;
            continue;
        }
        if (lead == '\b') {
            if (column > 0) --column;
            ++i;
            continue;
        }
        if (lead == '\n') {
            ASSERT_LT(row + 1, rows) << "a line feed would scroll";
            ++row;
            ++i;
            continue;
        }
        if (lead != 0x1b) {
            const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            ASSERT_GE(lead, 0x20u) << "control byte " << int(lead);
            const int cell = at(row, column);
            text[cell] = bytes.substr(i, length);
            foreground[cell] = reverse ? pen_background : pen_foreground;
            background[cell] = reverse ? pen_foreground : pen_background;
            if (column < columns - 1) ++column;
            i += length;
            continue;
        }
        ASSERT_LT(i + 1, bytes.size());
        ASSERT_EQ(bytes[i + 1], '[');
        std::size_t end = i + 2;
        while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
        ASSERT_LT(end, bytes.size());
        const std::string params = bytes.substr(i + 2, end - i - 2);
        std::vector<int> numbers;
        if (!params.empty() && params[0] != '?') {
            std::size_t p = 0;
            while (p <= params.size()) {
                const std::size_t semicolon = std::min(params.find(';', p), params.size());
                numbers.push_back(semicolon > p ? std::stoi(params.substr(p, semicolon - p)) : 0);
                p = semicolon + 1;
            }
        }
        switch (bytes[end]) {
            case 'H':
                row = (numbers.size() > 0 && numbers[0] > 0 ? numbers[0] : 1) - 1;
                column = (numbers.size() > 1 && numbers[1] > 0 ? numbers[1] : 1) - 1;
                break;
            case 'C': column = std::min(columns - 1, column + (numbers.empty() || numbers[0] == 0 ? 1 : numbers[0])); break;
            case 'D': column = std::max(0, column - (numbers.empty() || numbers[0] == 0 ? 1 : numbers[0])); break;
            case 'm':
                if (numbers.empty()) numbers.push_back(0);
                for (std::size_t k = 0; k < numbers.size(); ++k) {
                    const int n = numbers[k];
                    if (n == 0) pen_foreground = pen_background = model_default(), reverse = false;
                    else if (n == 7) reverse = true;
                    else if (n == 27) reverse = false;
                    else if (n >= 30 && n <= 37) pen_foreground = model_ansi(n - 30);
                    else if (n >= 90 && n <= 97) pen_foreground = model_ansi(n - 90 + 8);
                    else if (n >= 40 && n <= 47) pen_background = model_ansi(n - 40);
                    else if (n >= 100 && n <= 107) pen_background = model_ansi(n - 100 + 8);
                    else if (n == 39) pen_foreground = model_default();
                    else if (n == 49) pen_background = model_default();
                    else if (n == 38) pen_foreground = extended_colour(numbers, k);
                    else if (n == 48) pen_background = extended_colour(numbers, k);
                    else FAIL() << "SGR " << n;
                }
                break;
            case 'J':
                ASSERT_EQ(numbers, std::vector<int>{2});
                std::fill(text.begin(), text.end(), " ");
                std::fill(foreground.begin(), foreground.end(), reverse ? pen_background : pen_foreground);
                std::fill(background.begin(), background.end(), reverse ? pen_foreground : pen_background);
                break;
            case 'h': case 'l': ASSERT_EQ(params, "?2026"); break;
            default: FAIL() << "unexpected sequence " << bytes.substr(i, end - i + 1);
        }
        ASSERT_GE(row, 0);
        ASSERT_LT(row, rows);
        ASSERT_GE(column, 0);
        ASSERT_LT(column, columns);
        i = end + 1;
    }
}

void TerminalModel::apply_capture(const std::string& capture) {
    std::string bytes;
    int line = 0;
    for (char c : capture) {
        if (c != '\n') {
            bytes.push_back(c);
        } else if (++line < rows) {
            bytes += "\r\n";
        }
    }
    row = column = 0;
    apply(bytes);
}

}  // namespace textdemo::test
