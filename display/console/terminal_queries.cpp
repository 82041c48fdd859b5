#include "display/console/terminal_queries.hpp"

#include <algorithm>
#include <string>

#include "display/console/terminal_colours.hpp"

namespace textdemo {

namespace {

constexpr int SMALLEST_CELL = 2;
constexpr int LARGEST_CELL = 512;

// True where `run` ("38;2;1;2;3", or "38;5;" open at its end) stands in the ';'-separated
// `list` as whole fields.
bool has_run(std::string_view list, std::string_view run) {
    for (std::size_t at = list.find(run); at != std::string_view::npos; at = list.find(run, at + 1)) {
        const std::size_t end = at + run.size();
        if ((at == 0 || list[at - 1] == ';') && (run.back() == ';' || end == list.size() || list[end] == ';'))
            return true;
    }
    return false;
}

// The SGR read back ("0;38:2::1:2:3", "38;2;1;2;3", "0;38;5;16") with every ':' a ';'
// and empty fields dropped, so that each way of writing the colour reads alike.
std::string plain_fields(std::string_view sgr) {
    std::string fields;
    for (const char c : sgr) {
        const char field_char = c == ':' ? ';' : c;
        if (field_char == ';' && (fields.empty() || fields.back() == ';')) continue;
        fields += field_char;
    }
    return fields;
}

bool starts_with(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

void read_device_control(TerminalAnswers& answers, std::string_view body) {
    if (starts_with(body, "1$r") && body.size() > 3 && body.back() == 'm') {
        const std::string fields = plain_fields(body.substr(3, body.size() - 4));
        if (has_run(fields, "38;2;1;2;3")) {
            answers.colours = ConsoleColours::TrueColour;
        } else if (has_run(fields, "38;5;") && answers.colours == ConsoleColours::Auto) {
            answers.colours = ConsoleColours::Indexed256;
        }
    }
}

void read_control_sequence(TerminalAnswers& answers, const TerminalReply& reply) {
    if (!reply.intermediates.empty()) return;
    int numbers[MAX_REPLY_NUMBERS];
    const int count = reply_numbers(reply.body, numbers);
    if (reply.marker == '?' && reply.final_byte == 'c') {
        answers.finished = true;
        answers.sixel = count > 1 && std::find(numbers + 1, numbers + count, 4) != numbers + count;
    } else if (reply.marker == 0 && reply.final_byte == 't' && count == 3 && numbers[0] == 6) {
        answers.cell = {numbers[2], numbers[1]};
    } else if (reply.marker == 0 && reply.final_byte == 't' && count == 3 && numbers[0] == 4) {
        answers.window_width = numbers[2];
        answers.window_height = numbers[1];
    }
}

bool plausible(CellSize cell) {
    return cell.width >= SMALLEST_CELL && cell.width <= LARGEST_CELL && cell.height >= SMALLEST_CELL &&
           cell.height <= LARGEST_CELL;
}

CellSize per_cell(int columns, int rows, int width, int height) {
    if (columns <= 0 || rows <= 0) return {};
    return {width / columns, height / rows};
}

}  // namespace

void read_terminal_answers(TerminalAnswers& answers, const std::vector<TerminalReply>& replies) {
    for (const TerminalReply& reply : replies) {
        switch (reply.kind) {
            case ReplyKind::ControlSequence: read_control_sequence(answers, reply); break;
            case ReplyKind::DeviceControl: read_device_control(answers, reply.body); break;
            case ReplyKind::ProgramCommand:
                if (starts_with(reply.body, "Gi=31;")) answers.kitty_graphics = reply.body.substr(6) == "OK";
                break;
            default: break;
        }
    }
}

bool queries_round_open(const TerminalAnswers& answers, std::uint32_t sent_ms, std::uint32_t now_ms) {
    return !answers.finished && now_ms - sent_ms < LATE_ANSWERS_MS;
}

CellSize cell_size(int columns, int rows, int width_pixels, int height_pixels, const TerminalAnswers& answers) {
    for (const CellSize cell : {per_cell(columns, rows, width_pixels, height_pixels), answers.cell,
                                per_cell(columns, rows, answers.window_width, answers.window_height)}) {
        if (plausible(cell)) return cell;
    }
    return {};
}

ConsoleColours detected_colours(ConsoleColours asked, const TerminalAnswers& answers, const char* colorterm,
                                const char* term) {
    if (asked != ConsoleColours::Auto) return asked;
    if (answers.colours != ConsoleColours::Auto) return answers.colours;
    return choose_colours(ConsoleColours::Auto, colorterm, term);
}

}  // namespace textdemo
