// music_mp3: LAME encoding (see music_mp3.hpp).
// Depends on: libmp3lame.
#include "tools/content/music_mp3.hpp"

#include <lame/lame.h>

#include <algorithm>
#include <memory>

#include "tools/content/music_voice.hpp"

namespace textdemo::content {

namespace {
struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
}  // namespace

bool encode_mp3(const StereoPcm& pcm, std::vector<std::uint8_t>& mp3, std::string& error) {
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        error = "LAME could not be initialised";
        return false;
    }
    lame_set_in_samplerate(lame.get(), SAMPLE_RATE);
    lame_set_out_samplerate(lame.get(), SAMPLE_RATE);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), MP3_KBPS);
    lame_set_quality(lame.get(), 5);
    lame_set_bWriteVbrTag(lame.get(), 1);  // the Info frame carrying delay and padding
    if (lame_init_params(lame.get()) < 0) {
        error = "LAME rejected the encoding settings";
        return false;
    }
    mp3.clear();
    constexpr int CHUNK = 1152 * 32;
    std::vector<unsigned char> buffer(CHUNK * 5 / 4 + 7200);
    const std::size_t frames = pcm.left.size();
    for (std::size_t at = 0; at < frames; at += CHUNK) {
        const int count = static_cast<int>(std::min<std::size_t>(CHUNK, frames - at));
        const int written = lame_encode_buffer_ieee_float(lame.get(), pcm.left.data() + at, pcm.right.data() + at,
                                                          count, buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0) {
            error = "LAME failed while encoding (" + std::to_string(written) + ")";
            return false;
        }
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) {
        error = "LAME failed while flushing";
        return false;
    }
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + flushed);
    // The first frame was a placeholder; now that the length is known, write the real tag.
    const std::size_t tag_size = lame_get_lametag_frame(lame.get(), buffer.data(), buffer.size());
    if (tag_size == 0 || tag_size > mp3.size() || tag_size > buffer.size()) {
        error = "LAME wrote no LAME tag";
        return false;
    }
    std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(tag_size), mp3.begin());
    return true;
}

}  // namespace textdemo::content
