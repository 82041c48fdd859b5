#include "tests/support/test_mp3.hpp"

#include <lame/lame.h>

#include <cmath>
#include <cstring>

namespace textdemo::test {

std::vector<std::uint8_t> encode_test_mp3(int sample_frames, int rate, int channels) {
    std::vector<short> pcm(static_cast<std::size_t>(sample_frames) * channels);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<short>(4000 * std::sin(static_cast<double>(i / channels) * 0.05));
    lame_global_flags* encoder = lame_init();
    lame_set_in_samplerate(encoder, rate);
    lame_set_out_samplerate(encoder, rate);
    lame_set_num_channels(encoder, channels);
    lame_set_mode(encoder, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(encoder, 64);
    lame_set_quality(encoder, 7);
    lame_init_params(encoder);
    std::vector<std::uint8_t> mp3(pcm.size() * 2 + 7200);
    int size = channels == 1
                   ? lame_encode_buffer(encoder, pcm.data(), pcm.data(), sample_frames, mp3.data(), static_cast<int>(mp3.size()))
                   : lame_encode_buffer_interleaved(encoder, pcm.data(), sample_frames, mp3.data(), static_cast<int>(mp3.size()));
    size += lame_encode_flush(encoder, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    // The first frame is a placeholder for the info frame (encoder delay and padding).
    std::uint8_t info[4096];
    const std::size_t info_size = lame_get_lametag_frame(encoder, info, sizeof info);
    std::memcpy(mp3.data(), info, info_size);
    lame_close(encoder);
    mp3.resize(static_cast<std::size_t>(size));
    return mp3;
}

}  // namespace textdemo::test
