// music_effects: delay, reverb, kick ducking and the peak limiter (see music_effects.hpp).
// Depends on: music_voice (SAMPLE_RATE).
#include "tools/content/music_effects.hpp"

#include <algorithm>
#include <cmath>

#include "tools/content/music_voice.hpp"

namespace textdemo::content {

namespace {

struct Comb {
    std::vector<float> buffer;
    std::size_t at = 0;
    float store = 0;
    float run(float input, float feedback, float damping) {
        const float out = buffer[at];
        store = out * (1.0f - damping) + store * damping;
        buffer[at] = input + store * feedback;
        if (++at == buffer.size()) at = 0;
        return out;
    }
};

struct Allpass {
    std::vector<float> buffer;
    std::size_t at = 0;
    float run(float input) {
        const float delayed = buffer[at];
        buffer[at] = input + delayed * 0.5f;
        if (++at == buffer.size()) at = 0;
        return delayed - input;
    }
};

// One side of the room; the right side's delay lines are a little longer.
struct Room {
    Comb combs[8];
    Allpass allpasses[4];
    explicit Room(int spread) {
        static const int comb_lengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int allpass_lengths[4] = {556, 441, 341, 225};
        for (int i = 0; i < 8; ++i) combs[i].buffer.assign(comb_lengths[i] + spread, 0.0f);
        for (int i = 0; i < 4; ++i) allpasses[i].buffer.assign(allpass_lengths[i] + spread, 0.0f);
    }
    float run(float input, float feedback, float damping) {
        float out = 0;
        for (Comb& c : combs) out += c.run(input, feedback, damping);
        for (Allpass& a : allpasses) out = a.run(out);
        return out;
    }
};

}  // namespace

void apply_ping_pong_delay(std::vector<float>& left, std::vector<float>& right, int delay_frames, float feedback) {
    std::vector<float> ring_left(delay_frames, 0.0f), ring_right(delay_frames, 0.0f);
    const float damp = 0.35f;  // one-pole low-pass in the loop: each echo a little darker
    float soft_left = 0, soft_right = 0;
    std::size_t at = 0;
    for (std::size_t n = 0; n < left.size(); ++n) {
        const float echo_left = ring_left[at], echo_right = ring_right[at];
        soft_left += damp * (echo_left - soft_left);
        soft_right += damp * (echo_right - soft_right);
        ring_left[at] = 0.5f * (left[n] + right[n]) + feedback * soft_right;
        ring_right[at] = feedback * soft_left;
        left[n] = echo_left;
        right[n] = echo_right;
        if (++at == ring_left.size()) at = 0;
    }
}

void apply_reverb(std::vector<float>& left, std::vector<float>& right, float room, float damping) {
    Room room_left(0), room_right(23);
    const float feedback = 0.7f + 0.28f * room, damp = 0.4f * damping;
    for (std::size_t n = 0; n < left.size(); ++n) {
        const float input = (left[n] + right[n]) * 0.015f;
        left[n] = room_left.run(input, feedback, damp) * 3.0f;
        right[n] = room_right.run(input, feedback, damp) * 3.0f;
    }
}

void add_kick_ducking(std::vector<float>& duck, std::int64_t start) {
    const auto length = static_cast<std::int64_t>(0.45 * SAMPLE_RATE);
    const auto dip = static_cast<std::int64_t>(0.004 * SAMPLE_RATE);
    const float recover = std::exp(-1.0f / (0.09f * SAMPLE_RATE));
    float depth = 1.0f;
    for (std::int64_t n = 0; n < length && start + n < static_cast<std::int64_t>(duck.size()); ++n) {
        const float down = n < dip ? static_cast<float>(n) / static_cast<float>(dip) : depth;
        if (n >= dip) depth *= recover;
        float& d = duck[static_cast<std::size_t>(start + n)];
        d = std::min(d, 1.0f - down);
    }
}

void limit_peaks(std::vector<float>& left, std::vector<float>& right, float ceiling) {
    const std::size_t count = left.size();
    if (count == 0) return;
    std::vector<float> gain(count);
    for (std::size_t n = 0; n < count; ++n) {
        const float peak = std::max(std::fabs(left[n]), std::fabs(right[n]));
        gain[n] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Backwards: the gain falls ahead of a peak (3 ms ramp); forwards: it recovers over 150 ms.
    const float attack = 1.0f / (0.003f * SAMPLE_RATE), release = 1.0f / (0.15f * SAMPLE_RATE);
    for (std::size_t n = count - 1; n-- > 0;) gain[n] = std::min(gain[n], gain[n + 1] + attack);
    for (std::size_t n = 1; n < count; ++n) gain[n] = std::min(gain[n], gain[n - 1] + release);
    for (std::size_t n = 0; n < count; ++n) {
        left[n] = std::clamp(left[n] * gain[n], -ceiling, ceiling);
        right[n] = std::clamp(right[n] * gain[n], -ceiling, ceiling);
    }
}

}  // namespace textdemo::content
