// music_generate: the music part of the content generator: reads the song text from
// <source>/song, writes patterndata.bin and ruk.mp3 into the output folder.
// Depends on: music_song, music_dump, music_render, music_mp3, generators.hpp.
#include <cstdio>
#include <fstream>

#include "tools/content/generators.hpp"
#include "tools/content/music_dump.hpp"
#include "tools/content/music_mp3.hpp"
#include "tools/content/music_render.hpp"
#include "tools/content/music_song.hpp"

namespace textdemo::content {

namespace {
bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (out) return true;
    std::printf("unable to write %s\n", path.c_str());
    return false;
}
}  // namespace

bool generate_music(const std::string& source_dir, const std::string& out_dir) {
    Song song;
    std::string error;
    if (!read_song(source_dir + "/song", song, error) || !check_song_fits_dump(song, error)) {
        std::printf("song: %s\n", error.c_str());
        return false;
    }
    if (!write_file(out_dir + "/patterndata.bin", make_pattern_dump_bytes(song))) return false;
    const StereoPcm pcm = render_song(song);
    std::vector<std::uint8_t> mp3;
    if (!encode_mp3(pcm, mp3, error)) {
        std::printf("ruk.mp3: %s\n", error.c_str());
        return false;
    }
    return write_file(out_dir + "/ruk.mp3", mp3);
}

}  // namespace textdemo::content
