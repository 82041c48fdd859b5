// player_options: the players' option table, value checks and usage texts.
#include "apps/player_options.hpp"

#include <array>
#include <cstdio>
#include <vector>

#include "apps/command_line.hpp"
#include "apps/standard_output.hpp"

#ifndef TEXTDEMO_VERSION
#error "TEXTDEMO_VERSION is set by the build"
#endif

namespace textdemo {

namespace {

constexpr OptionSpec SHARED_OPTIONS[] = {
    {"archive", "FILE", "read the show from FILE; without it ruk.salad is looked\n"
                        "for here, beside the program, then in its data folder"},
    {"start", "TIME", "start TIME into the music: seconds (95.5), m:ss (1:35)\n"
                      "or m:ss.mmm (1:35.250)"},
    {"section", "N", "start where section N of the show's 9 begins"},
    {"audio-delay", "MS", "show the picture MS milliseconds behind the sound, for\n"
                          "sound heard late (a sound server's latency); negative\n"
                          "values put it ahead"},
    {"mute", "", "start with the music muted (m unmutes it)"},
};
constexpr OptionSpec CONSOLE_OPTIONS[] = {
    {"layout", "MODE", "auto (default): pixels where the terminal answers the\n"
                       "kitty graphics query, else native where 80 x 50 cells\n"
                       "fit and the cells are about square (or of unknown\n"
                       "size), else half; native: one terminal cell a frame\n"
                       "cell (clipped in a smaller terminal); half: two pixels\n"
                       "a terminal cell in half blocks, shaped for the cells,\n"
                       "to fit (enlarged by whole factors where large);\n"
                       "pixels: the window's picture through kitty\n"
                       "graphics or sixel, enlarged to fit (else as auto)"},
    {"colors", "MODE", "auto (default): what the terminal reads back of a\n"
                       "24-bit colour, else truecolor when COLORTERM is\n"
                       "truecolor or 24bit, 256 when TERM ends in 256color,\n"
                       "else 16; or 16 (the terminal's themed colours), 256\n"
                       "or truecolor"},
};
constexpr OptionSpec WINDOW_OPTIONS[] = {
    {"fullscreen", "", "fill the screen without asking \"Fullscreen?\""},
    {"window", "", "a 640 x 400 window without asking \"Fullscreen?\""},
};
constexpr OptionSpec INFO_OPTIONS[] = {
    {"help", "", "show this text and exit"},
    {"version", "", "show the version and exit"},
};

std::vector<OptionSpec> option_table(PlayerProgram program) {
    std::vector<OptionSpec> specs(std::begin(SHARED_OPTIONS), std::end(SHARED_OPTIONS));
    if (program == PlayerProgram::Console)
        specs.insert(specs.end(), std::begin(CONSOLE_OPTIONS), std::end(CONSOLE_OPTIONS));
    else if (program == PlayerProgram::Window)
        specs.insert(specs.end(), std::begin(WINDOW_OPTIONS), std::end(WINDOW_OPTIONS));
    specs.insert(specs.end(), std::begin(INFO_OPTIONS), std::end(INFO_OPTIONS));
    return specs;
}

// Reads up to max_digits decimal digits (at least one) from the front of text.
std::optional<std::uint32_t> take_digits(std::string_view& text, std::size_t max_digits) {
    std::size_t count = 0;
    std::uint32_t value = 0;
    while (count < text.size() && text[count] >= '0' && text[count] <= '9') {
        if (++count > max_digits) return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(text[count - 1] - '0');
    }
    if (count == 0) return std::nullopt;
    text.remove_prefix(count);
    return value;
}

// ".d", ".dd" or ".ddd" as milliseconds; an empty text is 0.
std::optional<std::uint32_t> take_fraction_ms(std::string_view text) {
    if (text.empty()) return 0u;
    if (text[0] != '.') return std::nullopt;
    text.remove_prefix(1);
    const std::size_t digits = text.size();
    const auto value = take_digits(text, 3);
    if (!value || !text.empty()) return std::nullopt;
    return *value * (digits == 1 ? 100u : digits == 2 ? 10u : 1u);
}

std::optional<std::int32_t> parse_delay(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const auto value = take_digits(text, 5);
    if (!value || !text.empty() || *value > static_cast<std::uint32_t>(MAX_AUDIO_DELAY_MS)) return std::nullopt;
    return negative ? -static_cast<std::int32_t>(*value) : static_cast<std::int32_t>(*value);
}

template <typename Choice, std::size_t N>
std::optional<Choice> parse_choice(const std::string& text, const std::array<std::pair<const char*, Choice>, N>& choices) {
    for (const auto& [name, choice] : choices)
        if (text == name) return choice;
    return std::nullopt;
}

constexpr std::array<std::pair<const char*, ConsoleLayout>, 4> LAYOUT_NAMES{{
    {"auto", ConsoleLayout::Auto}, {"native", ConsoleLayout::Native}, {"half", ConsoleLayout::Half},
    {"pixels", ConsoleLayout::Pixels}}};
constexpr std::array<std::pair<const char*, ConsoleColours>, 4> COLOUR_NAMES{{
    {"auto", ConsoleColours::Auto}, {"16", ConsoleColours::Ansi16}, {"256", ConsoleColours::Indexed256},
    {"truecolor", ConsoleColours::TrueColour}}};

std::string bad_value(const char* option, const std::string& value, const char* expected) {
    return std::string(option) + ": \"" + value + "\" is not " + expected;
}

// Each program's name, the start of its message lines and the usage's first lines (where
// the show plays), in the order of PlayerProgram.
struct ProgramTexts {
    const char* name;
    const char* message_prefix;
    const char* lead;
};
constexpr ProgramTexts PROGRAM_TEXTS[] = {
    {"textdemo-console", "textdemo-console: ",
     "Plays the show in this terminal, in step with its music, to the music's end.\n"},
    {"textdemo-gl", "textdemo-gl: ", "Plays the show in an OpenGL window, in step with its music, to the music's end.\n"},
    {"textdemo-web", "",
     "Plays the show in this page, in step with its music, to the music's end.\n"
     "The page's address holds the options: ?section=9&mute is --section=9 --mute.\n"},
};

const ProgramTexts& texts_of(PlayerProgram program) { return PROGRAM_TEXTS[static_cast<int>(program)]; }

}  // namespace

const char* player_program_name(PlayerProgram program) { return texts_of(program).name; }

const char* player_message_prefix(PlayerProgram program) { return texts_of(program).message_prefix; }

std::string format_song_time(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%03u", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

std::optional<std::uint32_t> parse_song_time(std::string_view text) {
    const std::size_t colon = text.find(':');
    std::uint32_t minutes = 0;
    if (colon != std::string_view::npos) {
        std::string_view head = text.substr(0, colon);
        const auto value = take_digits(head, 4);
        if (!value || !head.empty()) return std::nullopt;
        minutes = *value;
        text.remove_prefix(colon + 1);
        if (text.size() < 2 || text[0] < '0' || text[0] > '5' || text[1] < '0' || text[1] > '9') return std::nullopt;
    }
    const auto seconds = take_digits(text, colon == std::string_view::npos ? 6 : 2);
    const auto fraction = seconds ? take_fraction_ms(text) : std::nullopt;
    if (!fraction) return std::nullopt;
    return (minutes * 60 + *seconds) * 1000 + *fraction;
}

ParsedPlayerOptions parse_player_options(PlayerProgram program, std::span<const std::string> args) {
    ParsedPlayerOptions parsed;
    PlayerOptions& o = parsed.options;
    const std::vector<OptionSpec> specs = option_table(program);
    const CommandLine line = parse_command_line(args, specs);
    if (!line.error.empty()) {
        parsed.error = line.error;
        return parsed;
    }
    o.help = line.has("help");
    o.version = line.has("version");
    o.mute = line.has("mute");
    if (const std::string* value = line.find("archive")) o.archive = *value;
    if (const std::string* value = line.find("start")) {
        o.start_ms = parse_song_time(*value);
        if (!o.start_ms) parsed.error = bad_value("--start", *value, "a time (seconds, m:ss or m:ss.mmm)");
    }
    if (const std::string* value = line.find("section")) {
        if (value->size() == 1 && (*value)[0] >= '1' && (*value)[0] <= '0' + SHOW_SECTIONS)
            o.section = (*value)[0] - '0';
        else
            parsed.error = bad_value("--section", *value, "a section number 1..9");
    }
    if (const std::string* value = line.find("audio-delay")) {
        const auto delay = parse_delay(*value);
        if (delay) o.audio_delay_ms = *delay;
        else parsed.error = bad_value("--audio-delay", *value, "a number of milliseconds from -10000 to 10000");
    }
    if (const std::string* value = line.find("layout")) {
        const auto layout = parse_choice(*value, LAYOUT_NAMES);
        if (layout) o.console.layout = *layout;
        else parsed.error = bad_value("--layout", *value, "native, half, pixels or auto");
    }
    if (const std::string* value = line.find("colors")) {
        const auto colours = parse_choice(*value, COLOUR_NAMES);
        if (colours) o.console.colours = *colours;
        else parsed.error = bad_value("--colors", *value, "16, 256, truecolor or auto");
    }
    if (line.has("fullscreen")) o.fullscreen = true;
    if (line.has("window")) o.fullscreen = false;
    if (line.has("start") && line.has("section")) parsed.error = "--start and --section exclude each other";
    if (line.has("fullscreen") && line.has("window")) parsed.error = "--fullscreen and --window exclude each other";
    return parsed;
}

std::string player_usage(PlayerProgram program) {
    const bool console = program == PlayerProgram::Console;
    std::string text = std::string("usage: ") + player_program_name(program) + " [OPTION...]\n\n";
    text += texts_of(program).lead;
    text += "\nOptions:\n" + format_option_help(option_table(program));
    text += "\nA later start (--start, --section) shows every effect as it is at that point\n"
            "of the music; effects whose motion builds up frame by frame begin from\n"
            "their first frame's state.\n";
    text += console ? "\nKeys: Escape ends the show, m mutes and unmutes the music, Ctrl-L repaints the\n"
                      "screen, Ctrl-C ends it.\n"
                    : "\nKeys: Escape ends the show, F1 switches between fullscreen and window,\n"
                      "m mutes and unmutes the music.\n";
    return text;
}

bool read_player_command_line(PlayerProgram program, int argc, char** argv, PlayerOptions& options, int& exit_code) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedPlayerOptions parsed = parse_player_options(program, args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s%s\n%s", player_message_prefix(program), parsed.error.c_str(), player_usage(program).c_str());
        exit_code = 2;
        return false;
    }
    if (parsed.options.help || parsed.options.version) {
        if (parsed.options.help) std::fputs(player_usage(program).c_str(), stdout);
        else std::printf("%s %s\n", player_program_name(program), TEXTDEMO_VERSION);
        exit_code = close_standard_output(player_program_name(program)) ? 0 : 1;
        return false;
    }
    options = parsed.options;
    return true;
}

}  // namespace textdemo
