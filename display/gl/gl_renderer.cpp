#include "display/gl/gl_renderer.hpp"

#include <SDL_opengl.h>

#include <algorithm>
#include <vector>

#include "frame/text_palette.hpp"
#include "resources/font_texture.hpp"
#include "resources/image.hpp"

namespace textdemo {

namespace {

constexpr int VERTICES = FRAME_CELLS * 6;
constexpr float GLYPH_STEP = 0.03125f;  // one 8-texel glyph of the 256-texel texture

void fill_colours(GlRenderer& renderer, const TextFrame& frame, bool foreground) {
    float* c = renderer.colours.data();
    for (int i = 0; i < FRAME_CELLS; ++i) {
        const std::uint32_t attribute = frame.cells[i].attribute;
        const std::uint32_t index = foreground ? attribute & 15 : (attribute >> 4) & 15;
        for (int v = 0; v < 6; ++v, c += 4) {
            c[0] = TextPalette[index].red;
            c[1] = TextPalette[index].green;
            c[2] = TextPalette[index].blue;
            c[3] = 1.0f;
        }
    }
}

}  // namespace

CellLayout cell_layout(int client_width, int client_height) {
    const int scale = std::max(1, std::min(client_width / 640, client_height / 400));
    return {scale, -((640 * scale - client_width) / 2), -((400 * scale - client_height) / 2)};
}

Failure load_window_font(GlRenderer& renderer) {
    Image font;
    if (Failure failure = load_image(font, "textmodechars.png")) return failure;
    renderer.font = font_texture(font);
    return {};
}

void init_renderer(GlRenderer& renderer) {
    renderer.positions.assign(VERTICES * 3, 0.0f);
    renderer.colours.assign(VERTICES * 4, 0.0f);
    renderer.tex_coords.assign(VERTICES * 2, 0.0f);
    glShadeModel(GL_FLAT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glDisable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glGenTextures(1, &renderer.font_texture);

    glBindTexture(GL_TEXTURE_2D, renderer.font_texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, FONT_TEXTURE_SIZE, FONT_TEXTURE_SIZE, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 renderer.font.rgba.data());
}

void release_renderer(GlRenderer& renderer) {
    if (renderer.font_texture != 0) glDeleteTextures(1, &renderer.font_texture);
    renderer.font_texture = 0;
}

void render_cells(GlRenderer& renderer, const TextFrame& frame, int client_width, int client_height) {
    const CellLayout layout = cell_layout(client_width, client_height);
    const float p = 8.0f * static_cast<float>(layout.scale);

    float* pos = renderer.positions.data();
    float* tex = renderer.tex_coords.data();
    for (int r = 0; r < FRAME_HEIGHT; ++r) {
        for (int k = 0; k < FRAME_WIDTH; ++k) {
            const float x0 = static_cast<float>(k) * p, x1 = x0 + p;
            const float y0 = static_cast<float>(r) * p, y1 = y0 + p;
            const float corners[6][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x0, y1}, {x1, y0}, {x1, y1}};
            const float s0 = static_cast<float>(frame.cells[r * FRAME_WIDTH + k].glyph) * GLYPH_STEP;
            const float s1 = s0 + GLYPH_STEP;
            const float uv[6][2] = {{s0, 0}, {s1, 0}, {s0, GLYPH_STEP}, {s0, GLYPH_STEP}, {s1, 0}, {s1, GLYPH_STEP}};
            for (int v = 0; v < 6; ++v) {
                *pos++ = corners[v][0];
                *pos++ = corners[v][1];
                *pos++ = 0.0f;
                *tex++ = uv[v][0];
                *tex++ = uv[v][1];
            }
        }
    }

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(static_cast<float>(layout.offset_x), static_cast<float>(layout.offset_y), 0.0f);

    // Backgrounds.
    fill_colours(renderer, frame, false);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, renderer.positions.data());
    glColorPointer(4, GL_FLOAT, 0, renderer.colours.data());
    glDrawArrays(GL_TRIANGLES, 0, VERTICES);

    // Glyphs in the foreground colour, blended by the font's alpha.
    fill_colours(renderer, frame, true);
    glBindTexture(GL_TEXTURE_2D, renderer.font_texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, renderer.tex_coords.data());
    glDrawArrays(GL_TRIANGLES, 0, VERTICES);

    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

}  // namespace textdemo
