#include "tests/support/test_mp3.hpp"

#include <lame/lame.h>
#include <mpg123.h>

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

DecodedMp3 decode_mp3(const std::vector<std::uint8_t>& mp3) {
    DecodedMp3 out;
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    if (!decoder) return out;
    mpg123_param(decoder, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_FLOAT, 0.0);
    if (mpg123_open_feed(decoder) == MPG123_OK && mpg123_feed(decoder, mp3.data(), mp3.size()) == MPG123_OK) {
        std::vector<float> buffer(32768);
        for (;;) {
            std::size_t done = 0;
            const int result = mpg123_read(decoder, buffer.data(), buffer.size() * sizeof(float), &done);
            out.samples.insert(out.samples.end(), buffer.begin(), buffer.begin() + static_cast<long>(done / sizeof(float)));
            if (result == MPG123_NEW_FORMAT) {
                int encoding = 0;
                mpg123_getformat(decoder, &out.rate, &out.channels, &encoding);
                continue;
            }
            if (result == MPG123_NEED_MORE || result == MPG123_DONE) {
                out.ok = out.rate > 0;
                break;
            }
            if (result != MPG123_OK) break;
        }
    }
    mpg123_delete(decoder);
    return out;
}

}  // namespace textdemo::test
