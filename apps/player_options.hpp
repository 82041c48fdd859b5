// player_options: the command line of the two players.
//
// Offers: PlayerProgram, player_program_name, player_message_prefix, PlayerOptions,
// parse_song_time and format_song_time, parse_player_options, player_usage and
// read_player_command_line (help, version and errors handled the same way in every player).
// Depends on: command_line, console_settings.
//
// Without options a player does what it always did: the show from the start with sound,
// the console program fitted to its terminal, the window program asking "Fullscreen?".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "display/console/console_settings.hpp"

namespace textdemo {

// The web page (textdemo-web) takes the shared options from its address; the question it
// always asks is the click the browser wants before it plays sound.
enum class PlayerProgram { Console, Window, Web };

// "textdemo-console", "textdemo-gl" or "textdemo-web", for the usage and the version.
const char* player_program_name(PlayerProgram program);

// What each message line starts with: the program's name and ": " where a terminal shows
// the lines among others', nothing on the page, which shows its one line alone.
const char* player_message_prefix(PlayerProgram program);

constexpr int SHOW_SECTIONS = 9;
constexpr std::int32_t MAX_AUDIO_DELAY_MS = 10000;

struct PlayerOptions {
    std::string archive;                    // --archive; empty: the usual places
    std::optional<std::uint32_t> start_ms;  // --start, song milliseconds
    int section = 0;                        // --section 1..9; 0: not given
    std::int32_t audio_delay_ms = 0;        // --audio-delay: positive when the sound is heard late
    bool mute = false;                      // --mute
    ConsoleSettings console;                // --layout, --colors (console program)
    std::optional<bool> fullscreen;         // --fullscreen / --window (window program); unset: ask
    bool help = false;
    bool version = false;
};

struct ParsedPlayerOptions {
    PlayerOptions options;
    std::string error;  // one line; non-empty for a bad command line
};

// A song time as seconds ("95", "95.5"), minutes and seconds ("1:35") or with milliseconds
// ("1:35.250"), in milliseconds; nothing for anything else.
std::optional<std::uint32_t> parse_song_time(std::string_view text);

// Song milliseconds as "m:ss.mmm", the form parse_song_time reads back.
std::string format_song_time(std::uint32_t ms);

// args: the arguments after the program name.
ParsedPlayerOptions parse_player_options(PlayerProgram program, std::span<const std::string> args);

// The whole --help text.
std::string player_usage(PlayerProgram program);

// Reads the command line. Prints the help or the version (exit code 0, or 1 when standard
// output lost it), or the error line and the usage on standard error (exit code 2), and
// then returns false; returns true when the show should start with `options`.
bool read_player_command_line(PlayerProgram program, int argc, char** argv, PlayerOptions& options, int& exit_code);

}  // namespace textdemo
