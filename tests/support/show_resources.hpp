// show_resources: the pictures the show reads, and stand-ins for a show archive that lacks
// some of its content.
//
// Offers: ShowPicture, SHOW_PICTURES (every picture the effects read, at the size they
// address it), FONT_PICTURE (the window's glyph image), show_archive_path and
// use_show_archive (the show archive the build packed) and use_show_content (that archive, or an empty one, with
// synthetic stand-ins for the pictures and the pattern dump it lacks; for the benchmarks).
#pragma once

#include <string>

namespace textdemo::test {

struct ShowPicture {
    const char* name;
    int width, height;
};

inline constexpr ShowPicture SHOW_PICTURES[] = {
    {"splat1.png", 80, 50},           {"splat2.png", 80, 50},           {"splat3.png", 80, 50},
    {"splat4.png", 80, 50},           {"splat6.png", 80, 50},           {"splat7.png", 80, 50},
    {"splat8.png", 80, 50},           {"splat9.png", 80, 50},           {"kelvaron.png", 80, 50},
    {"kelvaron_opacity.png", 80, 50}, {"ruk.png", 400, 50},             {"ruk_opacity.png", 400, 50},
    {"env_red.png", 256, 256},        {"env_red2.png", 256, 256},       {"table.png", 256, 256},
    {"quorvila.png", 80, 50},         {"quorvila_opacity.png", 80, 50}, {"zentrobe.png", 80, 50},
    {"zentrobe_opacity.png", 80, 50}, {"tunnel.png", 256, 256},         {"logo_overlay.png", 80, 50},
    {"twist.png", 80, 46},            {"twistalpha.png", 80, 46},       {"greets.png", 960, 50},
    {"greets_opacity.png", 960, 50},
};

inline constexpr ShowPicture FONT_PICTURE = {"textmodechars.png", 256, 256};

// The archive the build packed, or the one TEXTDEMO_SHOW_ARCHIVE names.
std::string show_archive_path();

// Points the resource archive at show_archive_path() and loads it; false, after a line
// saying so, when there is no such file.
bool use_show_archive();

// Reads show_archive_path() when the file exists, else starts from an empty archive. Each picture
// of SHOW_PICTURES the archive lacks becomes scattered grey levels (masks, whose names end
// in "opacity" or "alpha", cover about a fifth of their pixels, as lettering would), and a
// missing pattern dump becomes 64-row patterns. Prints which archive it read and how many
// entries stand in; answers whether none had to.
bool use_show_content();

}  // namespace textdemo::test
