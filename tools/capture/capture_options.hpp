// capture_options: the command line of textdemo-capture.
//
// Offers: Positions (the song positions to render, produced one at a time: position_count,
// position_at, latest_position, set_position_range), MAX_RANGE_POSITIONS, CaptureOptions
// (positions and the chosen outputs),
// parse_capture_options (an error text instead of options for a bad command line),
// CAPTURE_USAGE.
// Depends on: command_line (the programs' long-option reader).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::capture {

// A range may hold at most this many positions: a day of 16 ms frames. Each position is
// produced as it is rendered, so the bound is about run time and output size, not memory.
constexpr std::uint64_t MAX_RANGE_POSITIONS = 5'400'000;

// Song milliseconds in rendering order: the --at list as given, or the range from,
// from + step, ... up to and including to.
struct Positions {
    std::vector<std::uint32_t> listed;  // --at; empty for a range
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint32_t step = 16;
    bool to_music_end = false;          // --video without --to: the range is set from the music's length
};

std::uint64_t position_count(const Positions& positions);
std::uint32_t position_at(const Positions& positions, std::uint64_t index);  // index < position_count
std::uint32_t latest_position(const Positions& positions);

// Makes positions the range from, from + step, ... up to and including to; or returns why
// it cannot be rendered (from after to, step 0, more than MAX_RANGE_POSITIONS).
std::string set_position_range(Positions& positions, std::uint32_t from, std::uint32_t to, std::uint32_t step);

struct CaptureOptions {
    Positions positions;
    std::string words_file;                // empty: not written
    std::string cells_file;
    std::string console_file;
    std::string png_dir;
    std::string video_file;                // empty: no video; with one, positions are a 16 ms range
    int video_scale = 2;                   // whole-number enlargement of the 640 x 400 picture
    std::string archive;                   // empty: ruk.salad where the players look for it
    bool help = false;
};

struct ParsedOptions {
    CaptureOptions options;
    std::string error;  // non-empty for a bad command line
};

ParsedOptions parse_capture_options(const std::vector<std::string>& args);

extern const char* const CAPTURE_USAGE;

}  // namespace textdemo::capture
