// effect_skull_logo: background, camera and mesh of the closing scene (see the header).
#include "effects/effect_skull_logo.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "frame/drawing.hpp"
#include "frame/text_frame.hpp"
#include "mesh/mesh_raster.hpp"
#include "mesh/mesh_transform.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {

constexpr std::uint32_t BACKGROUND_HUE = 0xDC;
constexpr std::uint32_t BACKGROUND_SATURATION = 0x64;
constexpr int MAX_LIGHTNESS = 50;
constexpr std::uint32_t FADE_START_MS = 205000;
constexpr std::uint32_t FADE_MS_PER_LEVEL = 200;
constexpr std::uint32_t TRAVEL_START_MS = 189767;
constexpr std::int32_t MESH_TINT = 0xE60000;  // hue 230
constexpr Fixed SKULL_FOCAL = 0x960000;       // 150.0
constexpr Fixed FAR_DEPTH = 0x640000;         // 100.0: only nearer points are drawn
constexpr float BOUNCE_REST = 9.0f;
constexpr float BOUNCE_PEAK = 20.0f;
constexpr float BOUNCE_FALL = 0.2f;

}  // namespace

SkullMotion& skull_motion() {
    static SkullMotion motion;
    return motion;
}

int skull_column_height(int x, int order) {
    if (order > 4) return FRAME_HEIGHT;
    const int wave = (5 * SineTable[(2500 * x) & 0xFFFF]) >> 16;
    return std::clamp(wave + x / 2 + 50, 0, FRAME_HEIGHT);
}

std::uint32_t skull_background_lightness(int x, int y, std::uint32_t position, const SkullMotion& motion) {
    const float f = static_cast<float>(x) / 100.0f;
    const float h = static_cast<float>(y) / 220.0f + motion.drift_y;
    const float a = std::fabs(perlin_noise3(4.0f * f, 4.0f * h, 4.0f * motion.drift_z)) * 50.0f * 0.25f;
    const float b = std::fabs(perlin_noise3(8.0f * f, 8.0f * h, 8.0f * motion.drift_z)) * 50.0f * 0.125f;
    float m = (b + a) * 5.0f;
    if (position > FADE_START_MS) m -= static_cast<float>((position - FADE_START_MS) / FADE_MS_PER_LEVEL);
    m = std::clamp(m, 0.0f, static_cast<float>(MAX_LIGHTNESS));
    return static_cast<std::uint32_t>(m + 0.5f);
}

Fixed skull_camera_depth(std::uint32_t position) {
    // Before the travel starts the camera waits at its starting point, just out of view. (The
    // unsigned distance would wrap to nearly 2^32 ms there, far beyond the 32-bit range.)
    const float since_start = position >= TRAVEL_START_MS ? static_cast<float>(position - TRAVEL_START_MS) : 0.0f;
    const float travel = 65536.0f * (since_start / 1500.0f - 9.9f);
    // Far below 2^63 for every 32-bit position; hours into the song it saturates.
    const std::int64_t depth =
        std::int64_t{CosineTable[(position & 0x3FFF) * 4]} + static_cast<std::int64_t>(travel) - 1000;
    return static_cast<Fixed>(std::clamp<std::int64_t>(depth, std::numeric_limits<Fixed>::min(),
                                                       std::numeric_limits<Fixed>::max()));
}

Fixed skull_camera_height(SkullMotion& motion, bool beat) {
    const auto height = static_cast<Fixed>(motion.bounce * 65536.0f);
    if (motion.bounce > BOUNCE_REST) motion.bounce -= BOUNCE_FALL;
    if (beat) motion.bounce = BOUNCE_PEAK;
    return height;
}

EffectSkullLogo::EffectSkullLogo(std::uint32_t start, std::uint32_t end) : Effect(start, end) {
    set_name("Skull");
    load_failure = load_images({{texture_, "env_red.png"}, {env_texture_, "env_red2.png"}});
    if (!load_failure) load_failure = load_mesh(mesh_, texture_, env_texture_);
    mesh_.tint = MESH_TINT;
}

EffectSkullLogo::~EffectSkullLogo() { free_mesh(mesh_); }

void EffectSkullLogo::draw_background(std::uint32_t position, int order) {
    TextFrame& frame = text_frame();
    const SkullMotion& motion = skull_motion();
    for (int x = 0; x < FRAME_WIDTH; ++x) {
        const int rows = skull_column_height(x, order);
        for (int y = 0; y < rows; ++y) {
            const std::uint32_t lightness = skull_background_lightness(x, y, position, motion);
            frame.pixels[y * FRAME_WIDTH + x] = preset_word(BACKGROUND_HUE, lightness, BACKGROUND_SATURATION);
        }
    }
}

void EffectSkullLogo::place_camera_and_mesh(std::uint32_t position, bool beat) {
    Camera& camera = *text_frame().camera;
    const Fixed sway = SineTable[(position & 0xFFF) * 16];
    mesh_.focal = SKULL_FOCAL;
    camera.angle_a = 16384;
    camera.angle_b = 0;
    camera.angle_c = SineTable[(sway >> 7) & 0xFFFF];
    camera.position.x = SineTable[(position & 0x1FFF) * 8] + 4000;
    camera.position.z = skull_camera_depth(position);
    camera.position.y = skull_camera_height(skull_motion(), beat);
    mesh_.angle_a = 12000;
    mesh_.angle_b = SineTable[(sway >> 6) & 0xFFFF];
    mesh_.angle_c = static_cast<std::int32_t>(position * 10);
}

void EffectSkullLogo::render() {
    const PatternData& song = pattern_data();
    const std::uint32_t position = song.position;
    SkullMotion& motion = skull_motion();
    motion.drift_y -= 0.002f;
    motion.drift_z -= 0.001f;
    draw_background(position, current_order(song));

    place_camera_and_mesh(position, row_has_value(song, 0));
    TextFrame& frame = text_frame();
    update_camera(*frame.camera);
    transform_mesh(mesh_, *frame.camera);
    std::fill(std::begin(frame.depth), std::end(frame.depth), FAR_DEPTH);
    // The frame may have been recreated since loading; draw into the current one.
    bind_mesh(mesh_, &texture_, &env_texture_, frame.pixels, frame.depth);
    draw_mesh_shadow(mesh_);
    draw_mesh(mesh_);
}

}  // namespace textdemo
