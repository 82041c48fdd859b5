// music_dump: the pattern dump the show synchronises to, written from the same Song the
// synthesizer plays.
//
// Offers: make_pattern_dump_bytes (the 525672-byte dump: a 24-byte header, 38 pattern
// records of 27 byte planes x 512 rows plus a row count, and a 46-entry order list) and
// check_song_fits_dump (the song's shape must match that layout).
// Plane 3c + 0/1/2 holds channel c's note / instrument / volume; a byte n stands for the
// value n - 1 and 0 is empty. Notes are >= 1 and volumes 1..64, so the byte 1 occurs only
// where instrument 0, the kick drum, is struck.
// Depends on: music_song, pattern_data (the dump's layout).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "song/pattern_data.hpp"
#include "tools/content/music_song.hpp"

namespace textdemo::content {

// True when the song has exactly the dump's pattern and order counts; otherwise names the problem.
bool check_song_fits_dump(const Song& song, std::string& error);
std::vector<std::uint8_t> make_pattern_dump_bytes(const Song& song);

}  // namespace textdemo::content
