// show_archive: a complete, tiny show archive whose every frame is known in advance.
//
// Offers: write_uniform_show_archive. Every resource the programs load is present: a short
// quiet MP3, black images at the sizes the effects read, an empty mesh, the given glyph
// font, and a pattern dump that gives the plasma slot the whole song. Drawn over black
// images the plasma is one preset word everywhere (hue 220, lightness 42, saturation
// 100), which converts to attribute 0xC5 and glyph 10 in every cell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::test {

constexpr std::uint32_t UNIFORM_SHOW_ATTRIBUTE = 0xC5;
constexpr std::uint32_t UNIFORM_SHOW_GLYPH = 10;

// Writes the archive to path; font is the 256 x 256 "textmodechars.png" content. False on
// a write failure.
bool write_uniform_show_archive(const std::string& path, int music_ms, const std::vector<std::uint32_t>& font);

}  // namespace textdemo::test
