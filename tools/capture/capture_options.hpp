// capture_options: the command line of textdemo-capture.
//
// Offers: CaptureOptions (song positions in order and the chosen outputs), parse_capture_options
// (an error text instead of options for a bad command line), CAPTURE_USAGE.
// Depends on: nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::capture {

constexpr std::uint32_t VIDEO_TO_MUSIC_END = 0xFFFFFFFF;  // --to not given: to the music's end

struct CaptureOptions {
    std::vector<std::uint32_t> positions;  // song milliseconds, rendered in this order
    std::string words_file;                // empty: not written
    std::string cells_file;
    std::string console_file;
    std::string png_dir;
    std::string video_file;                // empty: no video; positions then come from video_from/video_to
    std::uint32_t video_from = 0;
    std::uint32_t video_to = VIDEO_TO_MUSIC_END;
    int video_scale = 2;                   // whole-number enlargement of the 640 x 400 picture
    std::string archive = "ruk.salad";
    bool help = false;
};

struct ParsedOptions {
    CaptureOptions options;
    std::string error;  // non-empty for a bad command line
};

ParsedOptions parse_capture_options(const std::vector<std::string>& args);

extern const char* const CAPTURE_USAGE;

}  // namespace textdemo::capture
