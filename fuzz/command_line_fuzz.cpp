// command_line_fuzz: arbitrary command lines through the players' option reader.
//
// Input: arguments separated by NUL bytes, read as textdemo-console's and as textdemo-gl's
// command line. Nothing may crash or read out of bounds; an accepted command line holds
// only values in range; every song time read back from its own printed form is itself.
// Depends on: command_line, player_options.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "apps/player_options.hpp"

using namespace textdemo;

namespace {

constexpr std::size_t MOST_ARGUMENTS = 16;

void check_time(std::uint32_t ms) {
    if (ms >= 10000u * 60000u) return;  // the printed form has more minute digits than a time may
    if (parse_song_time(format_song_time(ms)) != ms) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() <= MOST_ARGUMENTS; ++i) {
        if (data[i] == 0) args.emplace_back();
        else args.back().push_back(static_cast<char>(data[i]));
    }
    for (const std::string& arg : args)
        if (const auto ms = parse_song_time(arg)) check_time(*ms);

    for (PlayerProgram program : {PlayerProgram::Console, PlayerProgram::Window, PlayerProgram::Web}) {
        const ParsedPlayerOptions parsed = parse_player_options(program, args);
        if (!parsed.error.empty()) continue;
        const PlayerOptions& o = parsed.options;
        if (o.section < 0 || o.section > SHOW_SECTIONS) std::abort();
        if (o.audio_delay_ms < -MAX_AUDIO_DELAY_MS || o.audio_delay_ms > MAX_AUDIO_DELAY_MS) std::abort();
        if (o.start_ms && o.section != 0) std::abort();
        if (o.start_ms) check_time(*o.start_ms);
    }
    return 0;
}
