// picture_logos: the lettered pictures: makers' logo, title, credits, greetings strip and
// the tunnel's colour overlay.
// Depends on: picture_canvas, picture_lettering.
#include <algorithm>
#include <cmath>

#include "tools/content/picture_makers.hpp"

namespace textdemo::content {

namespace {
// Letters lit from above (top_level at the top of the ink, bottom_level at its foot),
// an outline of outline_level around them, and the opacity covering both.
void paint_letters(LetteredPicture& pic, const Canvas& ink, int x, int y, float top_level, float bottom_level,
                   float outline_level, int outline_radius) {
    Canvas letters(pic.brightness.width, pic.brightness.height);
    stamp(letters, ink, x, y);
    const Canvas halo = outline_radius > 0 ? dilated(letters, outline_radius) : letters;
    for (int j = 0; j < letters.height; ++j) {
        const float t = std::clamp(static_cast<float>(j - y) / static_cast<float>(std::max(1, ink.height - 1)), 0.0f, 1.0f);
        const float lit = top_level + (bottom_level - top_level) * t;
        for (int i = 0; i < letters.width; ++i) {
            const float a = letters.at(i, j), h = halo.at(i, j);
            if (h <= 0) continue;
            // Anti-aliased letter edges blend into the outline, not into the background.
            pic.brightness.at(i, j) = outline_level + (lit - outline_level) * a;
            pic.opacity.at(i, j) = std::max(pic.opacity.at(i, j), 255.0f * h);
        }
    }
}

// A plate with rounded ends (coverage 0..1), x0..x1 by y0..y1.
Canvas plate(int width, int height, float x0, float y0, float x1, float y1) {
    Canvas c(width, height);
    const float r = (y1 - y0) / 2, cy = (y0 + y1) / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float px = std::clamp(static_cast<float>(x), x0 + r, x1 - r);
            const float dx = static_cast<float>(x) - px, dy = static_cast<float>(y) - cy;
            c.at(x, y) = std::clamp(r - std::sqrt(dx * dx + dy * dy) + 0.5f, 0.0f, 1.0f);
        }
    }
    return c;
}
}  // namespace

LetteredPicture make_makers_logo(const Font& font, const std::string& word) {
    LetteredPicture pic{Canvas(FRAME_WIDTH, FRAME_HEIGHT), Canvas(FRAME_WIDTH, FRAME_HEIGHT)};
    // Set to the width, then drawn taller than the font's proportions: in 80 x 50 cells
    // tall letters read better.
    const Canvas set = fit_text(font, word, 74, 40, 1.0f);
    const Canvas ink = stretched(set, set.width, set.height * 8 / 5);
    const int x = (FRAME_WIDTH - ink.width) / 2, y = 22 - ink.height / 2;
    // Underline bar below the word, a step darker than the letters' foot.
    const int bar_top = y + ink.height + 3;
    for (int j = bar_top; j < bar_top + 2; ++j) {
        for (int i = x + 2; i < x + ink.width - 2; ++i) {
            pic.brightness.at(i, j) = 150;
            pic.opacity.at(i, j) = 255;
        }
    }
    paint_letters(pic, ink, x, y, 255, 170, 20, 1);
    return pic;
}

LetteredPicture make_title(const Font& font, const std::string& title) {
    LetteredPicture pic{Canvas(400, FRAME_HEIGHT), Canvas(400, FRAME_HEIGHT)};
    const Canvas ink = fit_text(font, title, 270, 38, 2.0f);
    const int x = 195 - ink.width / 2, y = 25 - ink.height / 2;
    paint_letters(pic, ink, x, y, 255, 110, 0, 1);
    return pic;
}

LetteredPicture make_credit(const Font& font, const std::string& role, const std::string& name) {
    LetteredPicture pic{Canvas(FRAME_WIDTH, FRAME_HEIGHT), Canvas(FRAME_WIDTH, FRAME_HEIGHT)};
    const Canvas band = plate(FRAME_WIDTH, FRAME_HEIGHT, 2, 9, 76, 41);
    for (std::size_t i = 0; i < band.values.size(); ++i) {
        pic.brightness.values[i] = 40;
        pic.opacity.values[i] = 255 * band.values[i];
    }
    const Canvas role_ink = fit_text(font, role, 40, 9, 1.0f);
    paint_letters(pic, role_ink, (FRAME_WIDTH - role_ink.width) / 2 - 1, 12, 190, 150, 40, 0);
    const Canvas name_set = fit_text(font, name, 66, 40, 1.0f);
    const Canvas name_ink = stretched(name_set, name_set.width, std::min(17, name_set.height * 3 / 2));
    paint_letters(pic, name_ink, (FRAME_WIDTH - name_ink.width) / 2 - 1, 23, 255, 180, 10, 1);
    // Where the plate ends the opacity returns to 0 with the plate's rounded edge.
    for (std::size_t i = 0; i < band.values.size(); ++i) pic.opacity.values[i] *= band.values[i];
    return pic;
}

namespace {
// Left edges of the names on the two staggered lines (each name starts no earlier than
// the middle of the one before, so the eye can follow them from the right edge), and the
// column where the last one ends.
struct GreetingsLayout {
    std::vector<Canvas> inks;
    std::vector<int> x;
    int end = 0;
};
GreetingsLayout lay_out_greetings(const Font& font, const std::vector<std::string>& names, float size, int first, int line_height) {
    constexpr int GAP = 10;
    GreetingsLayout layout;
    int pen[2] = {first, first};
    int previous_middle = first;
    for (std::size_t n = 0; n < names.size(); ++n) {
        const Canvas set = set_text(font, names[n], size, 1.0f, true);
        Canvas ink = stretched(set, set.width, line_height);
        // Small letters have thin, grey strokes: firm them up so they read as solid cells.
        for (float& v : ink.values) v = std::min(1.0f, v * 1.8f);
        layout.inks.push_back(std::move(ink));
        const int width = layout.inks.back().width, line = static_cast<int>(n % 2);
        const int x = std::max(pen[line], previous_middle);
        layout.x.push_back(x);
        pen[line] = x + width + GAP;
        previous_middle = x + width / 2;
        layout.end = std::max(layout.end, x + width);
    }
    return layout;
}
}  // namespace

LetteredPicture make_greetings(const Font& font, const std::vector<std::string>& names, int first, int last) {
    constexpr int WIDTH = 960, LINE_HEIGHT = 22;
    const int line_top[2] = {2, 26};
    LetteredPicture pic{Canvas(WIDTH, FRAME_HEIGHT), Canvas(WIDTH, FRAME_HEIGHT)};
    // The largest font size whose two lines end by column `last`; letters are then drawn
    // taller than the font's proportions to fill the line.
    GreetingsLayout layout = lay_out_greetings(font, names, 6, first, LINE_HEIGHT);
    for (float size = 6.5f; size <= 30; size += 0.5f) {
        GreetingsLayout bigger = lay_out_greetings(font, names, size, first, LINE_HEIGHT);
        if (bigger.end > last) break;
        layout = std::move(bigger);
    }
    for (std::size_t n = 0; n < layout.inks.size(); ++n) {
        paint_letters(pic, layout.inks[n], layout.x[n], line_top[n % 2], 255, 215, 0, 1);
    }
    return pic;
}

std::vector<std::uint32_t> make_overlay(const Font& font, const std::string& word) {
    constexpr std::uint32_t TRANSPARENT = 0x00FF00FF;
    std::vector<std::uint32_t> words(FRAME_WIDTH * FRAME_HEIGHT, TRANSPARENT);
    const Canvas ink = fit_text(font, word, 56, 11, 1.0f);
    Canvas letters(FRAME_WIDTH, FRAME_HEIGHT);
    const int x = (FRAME_WIDTH - ink.width) / 2, y = 44 - ink.height;
    stamp(letters, ink, x, y);
    const Canvas outline = dilated(letters, 1);
    for (int j = 0; j < FRAME_HEIGHT; ++j) {
        // Yellow at the top of the letters turning orange at their foot.
        const float t = std::clamp(static_cast<float>(j - y) / static_cast<float>(ink.height), 0.0f, 1.0f);
        const auto green = static_cast<std::uint32_t>(230 - 120 * t);
        for (int i = 0; i < FRAME_WIDTH; ++i) {
            auto& w = words[static_cast<std::size_t>(j) * FRAME_WIDTH + i];
            if (letters.at(i, j) >= 0.5f) w = 0x00FF0000u | green << 8 | 0x10;
            else if (outline.at(i, j) > 0.0f) w = 0x00600000;
        }
    }
    return words;
}

}  // namespace textdemo::content
