// effect_table: the interference plasma with the sliding credits ("Table").
// Depends on: fixed_math, drawing, image, pattern_data, text_frame, portable_math.
#include "effects/effect_table.hpp"

#include <algorithm>

#include "frame/drawing.hpp"
#include "frame/fixed_math.hpp"
#include "frame/portable_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {

struct WaveCentre {
    std::int32_t horizontal_amplitude, horizontal_frequency;
    std::int32_t vertical_amplitude, vertical_frequency;
};

constexpr WaveCentre WAVE_CENTRES[4] = {
    {41, 270, 0, 0},
    {42, 350, 0, 0},
    {59, -570, 0, 0},
    {58, 370, 0, 0},
};

constexpr int ZENTROBE_ORDER = 25;
constexpr int QUORVILA_ORDER = 27;

// Table index of a 32-bit product of the song step and a frequency: only its low 16 bits
// count, so the product is formed with two's complement wrap-around.
std::uint32_t wave_index(std::uint32_t step, std::int32_t frequency) {
    return (step * static_cast<std::uint32_t>(frequency)) & 0xFFFF;
}

}  // namespace

int credit_slide_shift(int row) {
    if (row <= 16) return 80 - 5 * row;
    if (row <= 240) return 0;
    return 1200 - 5 * row;
}

EffectTable::EffectTable(std::uint32_t start, std::uint32_t end)
    : Effect(start, end), distance_table(TABLE_SIDE * TABLE_SIDE), angle_table(TABLE_SIDE * TABLE_SIDE) {
    set_name("Table");
    for (int j = 0; j < TABLE_SIDE; ++j) {
        for (int k = 0; k < TABLE_SIDE; ++k) {
            const std::int32_t x = k - 256, y = j - 256;
            const std::size_t cell = static_cast<std::size_t>(j) * TABLE_SIDE + k;
            const auto distance = isqrt32(static_cast<std::uint32_t>(y * y + x * x));
            distance_table[cell] = static_cast<std::int32_t>(std::min<std::uint32_t>(255, distance));
            // Fixed radians times 1780117 (27.16 in 16.16), kept to 32 bits, then whole units.
            const std::int64_t scaled = static_cast<std::int64_t>(fixed_atan2(x, y)) * 1780117;
            angle_table[cell] = (static_cast<std::int32_t>(scaled >> 16) >> 16) & 255;
        }
    }
    load_failure = load_images({{texture_, "table.png"}, {stain_, "splat3.png"}, {quorvila_, "quorvila.png"},
                                 {quorvila_opacity_, "quorvila_opacity.png"}, {zentrobe_, "zentrobe.png"},
                                 {zentrobe_opacity_, "zentrobe_opacity.png"}});
}

void EffectTable::render() {
    const PatternData& song = pattern_data();
    const std::uint32_t position = song.position;
    const std::uint32_t step = position >> 5;
    const std::uint32_t fall = position >> 2;

    const int order = current_order(song);
    bool credit_shown = false;
    if (order == ZENTROBE_ORDER) {
        credit_ = &zentrobe_;
        credit_opacity_ = &zentrobe_opacity_;
        credit_shown = true;
    } else if (order == QUORVILA_ORDER) {
        credit_ = &quorvila_;
        credit_opacity_ = &quorvila_opacity_;
        credit_shown = true;
    }

    const float gain = 3 + 0.6f * portable_sinf(static_cast<float>(position) / 200.0f);

    std::int32_t centre_column[4], centre_row[4];
    for (int n = 0; n < 4; ++n) {
        const WaveCentre& c = WAVE_CENTRES[n];
        centre_column[n] = ((SineTable[wave_index(step, c.horizontal_frequency)] * c.horizontal_amplitude) >> 16) + 180;
        centre_row[n] = 200 + ((CosineTable[wave_index(step, c.vertical_frequency)] * c.vertical_amplitude) >> 16);
    }

    const int shift = credit_slide_shift(current_row(song));
    std::uint32_t* pixels = text_frame().pixels;

    for (int r = 0; r < FRAME_HEIGHT; ++r) {
        for (int k = 0; k < FRAME_WIDTH; ++k) {
            const int p = r * FRAME_WIDTH + k;
            std::int32_t distance_sum = 0;
            std::int32_t last_distance = 0, last_angle = 0;
            for (int n = 0; n < 4; ++n) {
                const int idx = (centre_row[n] + r) * TABLE_SIDE + (centre_column[n] + k);
                last_distance = distance_table[idx];
                last_angle = angle_table[idx];
                distance_sum += last_distance;
            }
            const std::uint32_t hi = (static_cast<std::uint32_t>(distance_sum) - fall) & 255;
            const std::uint32_t lo = static_cast<std::uint32_t>(last_angle - last_distance) & 255;
            const std::int32_t tex = static_cast<std::int32_t>(grey_level(texture_, hi * 256 + lo) / 8);
            const std::int32_t mask = static_cast<std::int32_t>(255 - grey_level(stain_, p)) / 6;
            const std::int32_t plasma = std::clamp(tex + mask, 0, 80);

            const int credit_column = std::clamp(k + shift, 0, FRAME_WIDTH - 1);
            const int q = r * FRAME_WIDTH + credit_column;
            const std::uint32_t opacity = credit_shown ? grey_level(*credit_opacity_, q) : 0;
            if (opacity != 0) {
                const float brightness = static_cast<float>(grey_level(*credit_, q)) / gain;
                const float coverage = static_cast<float>(opacity) / 255.0f;
                const auto value = static_cast<std::uint32_t>(brightness * coverage);
                pixels[p] = preset_word(0xE6, value, 0x32);
            } else {
                pixels[p] = preset_word(0xDC, static_cast<std::uint32_t>(plasma), 0x64);
            }
        }
    }
}

}  // namespace textdemo
