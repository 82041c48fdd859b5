// picture_textures: the pictures that are not lettering: tunnel wall, plasma texture,
// twister band, environment maps, and the glyph image of the window renderer.
// Depends on: picture_canvas.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/content/picture_makers.hpp"

namespace textdemo::content {

namespace {
constexpr float TAU = 2 * std::numbers::pi_v<float>;
constexpr int TEXTURE_SIZE = 256;

// Stretches the values linearly onto lo..hi.
void normalise(Canvas& c, float lo, float hi) {
    const auto [min_it, max_it] = std::minmax_element(c.values.begin(), c.values.end());
    const float min = *min_it, range = std::max(*max_it - min, 1e-6f);
    for (float& v : c.values) v = lo + (hi - lo) * (v - min) / range;
}
}  // namespace

Canvas make_tunnel_wall(std::uint32_t seed) {
    // The tunnel reads every other column and row, so the wall is designed on a 128 x 128
    // grid (128 samples round the tube, 128 along it) and each sample fills 2 x 2 pixels.
    constexpr int GRID = 128, AROUND = 16, ALONG = 32;
    Canvas grid(GRID, GRID);
    for (int v = 0; v < GRID; ++v) {
        for (int u = 0; u < GRID; ++u) {
            const int pu = u % AROUND, pv = v % ALONG;
            const auto panel = static_cast<std::uint32_t>((v / ALONG) * (GRID / AROUND) + u / AROUND);
            float level = 62 + 45 * hash_unit(seed, panel);
            level += 24 * (fractal_noise(static_cast<float>(u), static_cast<float>(v), 8, GRID / 8, 3, seed + 1) - 0.5f);
            // A light strip across every other ring of panels.
            if ((v / ALONG) % 2 == 1 && pv >= 14 && pv <= 17) level = pv == 14 || pv == 17 ? 170 : 215;
            // Bevels: lit on the leading edges, shaded on the trailing ones, dark seams.
            if (pu == 1 || pv == 1) level += 55;
            if (pu == AROUND - 1 || pv == ALONG - 1) level -= 45;
            if (pu == 0 || pv == 0) level = 12;
            // Rivets near the panel corners.
            for (const auto& [ru, rv] : {std::pair{3, 4}, {12, 4}, {3, 27}, {12, 27}}) {
                const int du = pu - ru, dv = pv - rv;
                if (du * du + dv * dv <= 1) level = du == 0 && dv == 0 ? 230 : 40;
            }
            grid.at(u, v) = level;
        }
    }
    Canvas wall(TEXTURE_SIZE, TEXTURE_SIZE);
    for (int y = 0; y < TEXTURE_SIZE; ++y) {
        for (int x = 0; x < TEXTURE_SIZE; ++x) wall.at(x, y) = grid.at(x / 2, y / 2);
    }
    return wall;
}

Canvas make_plasma_texture() {
    // Whole periods across the picture in every term, so it tiles without a seam.
    Canvas c(TEXTURE_SIZE, TEXTURE_SIZE);
    for (int y = 0; y < TEXTURE_SIZE; ++y) {
        for (int x = 0; x < TEXTURE_SIZE; ++x) {
            const float fx = static_cast<float>(x) / TEXTURE_SIZE, fy = static_cast<float>(y) / TEXTURE_SIZE;
            // Rows (the summed distances) carry rings; columns (angle minus distance) twist them.
            c.at(x, y) = std::sin(TAU * 6 * fy + 2 * std::sin(TAU * fx)) + 0.8f * std::sin(TAU * (3 * fx + 4 * fy) + 1.0f) +
                         0.6f * std::sin(TAU * 9 * fy - TAU * 2 * fx) + 0.4f * std::sin(TAU * 5 * fx + 2.0f);
        }
    }
    normalise(c, 0, 255);
    return c;
}

LetteredPicture make_twister_band() {
    constexpr int WIDTH = FRAME_WIDTH, ROWS = 46;
    constexpr float CENTRE = 24, RADIUS = 13;
    LetteredPicture band{Canvas(WIDTH, ROWS), Canvas(WIDTH, ROWS)};
    for (int r = 0; r < ROWS; ++r) {
        // A half turn over the 46 rows: a square bar looks the same after a quarter turn,
        // so the band joins up with itself when it scrolls round.
        const float turn = TAU / 2 * static_cast<float>(r) / ROWS;
        const bool ring = r % 23 == 0;
        for (int k = 0; k < 4; ++k) {
            const float a0 = turn + static_cast<float>(k) * TAU / 4, a1 = a0 + TAU / 4;
            const float x0 = CENTRE + RADIUS * std::sin(a0), x1 = CENTRE + RADIUS * std::sin(a1);
            if (x1 <= x0) continue;  // this face looks away
            const float facing = std::cos(a0 + TAU / 8);
            for (int x = static_cast<int>(std::ceil(x0)); x < static_cast<int>(std::ceil(x1)); ++x) {
                const float s = (static_cast<float>(x) - x0) / (x1 - x0);
                float level = 50 + 190 * std::clamp(facing, 0.0f, 1.0f);
                if (s < 0.1f || s > 0.9f) level *= 0.6f;        // edges of the face
                if (s > 0.45f && s < 0.55f) level *= 0.75f;     // a groove down its middle
                if (ring) level *= 0.5f;
                band.brightness.at(x, r) = level;
                band.opacity.at(x, r) = 255;
            }
        }
    }
    return band;
}

std::vector<std::uint32_t> make_shiny_environment() {
    Canvas c(TEXTURE_SIZE, TEXTURE_SIZE);
    for (int y = 0; y < TEXTURE_SIZE; ++y) {
        for (int x = 0; x < TEXTURE_SIZE; ++x) {
            // The turned normal's x and y (y grows downward on screen); its z faces the viewer.
            const float nx = static_cast<float>(x) / 128 - 1, ny = static_cast<float>(y) / 128 - 1;
            const float rr = std::min(nx * nx + ny * ny, 1.0f);
            const float nz = std::sqrt(1 - rr);
            // Light from the upper left, in front.
            const float diffuse = std::max(0.0f, -0.45f * nx - 0.55f * ny + 0.70f * nz);
            const float hx = nx + 0.33f, hy = ny + 0.42f;
            const float highlight = std::exp(-(hx * hx + hy * hy) / 0.025f);
            const float rim = std::pow(rr, 3.0f);
            // The reflected horizon: a dark line with a brighter sky above it.
            const float horizon = ny > 0.25f && ny < 0.32f ? -40.0f : (ny < 0.25f ? 20.0f : 0.0f);
            c.at(x, y) = 25 + 130 * diffuse + 230 * highlight + 70 * rim + horizon;
        }
    }
    return red_tinted(c);
}

std::vector<std::uint32_t> make_skin_texture() {
    // Diamond scales: two families of grooves crossing at an angle, each scale lit on top.
    Canvas c(TEXTURE_SIZE, TEXTURE_SIZE);
    constexpr float SCALES = 8;
    for (int y = 0; y < TEXTURE_SIZE; ++y) {
        for (int x = 0; x < TEXTURE_SIZE; ++x) {
            const float p = (static_cast<float>(x) + static_cast<float>(y)) * SCALES / TEXTURE_SIZE;
            const float q = (static_cast<float>(x) - static_cast<float>(y)) * SCALES / TEXTURE_SIZE;
            const float fp = p - std::floor(p), fq = q - std::floor(q);
            const float groove = std::min({fp, 1 - fp, fq, 1 - fq});
            const float dome = std::min(groove * 4, 1.0f);
            const float lit = 0.5f + 0.5f * (fp - fq);  // brighter towards one corner of each scale
            c.at(x, y) = 20 + 120 * dome + 60 * lit * dome;
        }
    }
    return red_tinted(c);
}

std::vector<std::uint32_t> red_tinted(const Canvas& levels) {
    std::vector<std::uint32_t> words(levels.values.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        const float v = std::clamp(levels.values[i], 0.0f, 255.0f);
        const auto blue = static_cast<std::uint32_t>(std::lround(v));
        const auto red = static_cast<std::uint32_t>(std::lround(std::min(255.0f, 60 + v)));
        const auto green = static_cast<std::uint32_t>(std::lround(v * 0.4f));
        words[i] = red << 16 | green << 8 | blue;
    }
    return words;
}

std::vector<std::uint32_t> make_shade_font(const std::vector<std::vector<std::string>>& glyphs) {
    constexpr int GLYPHS = 16, CELL = 8;
    if (glyphs.size() != GLYPHS) return {};
    std::vector<std::uint32_t> words(TEXTURE_SIZE * TEXTURE_SIZE, 0);
    for (int g = 0; g < GLYPHS; ++g) {
        if (glyphs[g].size() != CELL) return {};
        for (int y = 0; y < CELL; ++y) {
            const std::string& row = glyphs[g][y];
            if (row.size() != CELL) return {};
            for (int x = 0; x < CELL; ++x) {
                if (row[x] == '#') words[static_cast<std::size_t>(y) * TEXTURE_SIZE + g * CELL + x] = 0x00FFFFFF;
                else if (row[x] != '.') return {};
            }
        }
    }
    return words;
}

}  // namespace textdemo::content
