// mesh_raster: shadow pass, textured pass and span writer (see mesh_raster.hpp).
//
// Both passes walk the rows of a triangle split at its middle corner. Edge values advance
// by a fixed gradient per row with 32-bit wrap, so the value after k rows is start + k x
// gradient (mod 2^32): rows above the frame are skipped by jumping there directly, and
// rows below it are never visited, which keeps huge near-zero-depth triangles cheap.
#include "mesh/mesh_raster.hpp"

#include <algorithm>
#include <utility>

#include "frame/text_frame.hpp"

namespace textdemo {

namespace {

constexpr std::int32_t SHADOW_OFFSET_COLUMNS = 10;
constexpr std::int32_t SHADOW_OFFSET_ROWS = 5;
constexpr std::int64_t RECIPROCAL_ONE = std::int64_t{1} << 32;  // 2^32 / h is 1 / (h rows) in 16.16
constexpr Fixed FIRST_OFF_RIGHT = FRAME_WIDTH << 16;              // 80.0
constexpr Fixed LAST_ROW = (FRAME_HEIGHT - 1) << 16;              // 49.0

// Whole cells to 16.16, wrapping like a 32-bit shift.
Fixed to_fixed(std::int32_t cells) { return wrap_mul(cells, 65536); }

// (b - a) x (t - a) from 16.16 coordinates: negative for front faces.
std::int32_t signed_area(Fixed xa, Fixed ya, Fixed xb, Fixed yb, Fixed xt, Fixed yt) {
    return wrap_sub(fixed_mul(wrap_sub(xb, xa), wrap_sub(yt, ya)), fixed_mul(wrap_sub(xt, xa), wrap_sub(yb, ya)));
}

// Three compare-and-swap steps, (first, second), (second, third), (first, second), each
// swapping only when the later row is strictly smaller.
template <typename Corner>
void sort_by_row(Corner (&c)[3]) {
    if (c[1].y < c[0].y) std::swap(c[0], c[1]);
    if (c[2].y < c[1].y) std::swap(c[1], c[2]);
    if (c[1].y < c[0].y) std::swap(c[0], c[1]);
}

// --- shadow pass: whole-cell corners, no depth ---

struct CellCorner {
    std::int32_t x, y;
};

// Columns per row in 16.16, 0 for an edge within one row.
std::int32_t column_slope(const CellCorner& from, const CellCorner& to) {
    const std::int64_t rows = std::int64_t{to.y} - from.y;
    if (rows == 0) return 0;
    return static_cast<std::int32_t>((std::int64_t{to.x} - from.x) * 65536 / rows);
}

// Column of an edge that started at column x and has gone steps rows along slope.
std::int64_t edge_column(std::int32_t x, std::int32_t slope, std::int64_t steps) {
    return x + std::int64_t{wrap_mul(slope, static_cast<std::int32_t>(steps)) >> 16};
}

// Zeroes columns min(a, b) (inclusive) to max(a, b) (exclusive) of a row within the frame.
void clear_row(std::uint32_t* pixels, std::int64_t row, std::int64_t a, std::int64_t b) {
    const std::int64_t first = std::max<std::int64_t>(std::min(a, b), 0);
    const std::int64_t end = std::min<std::int64_t>(std::max(a, b), FRAME_WIDTH);
    for (std::int64_t x = first; x < end; ++x) pixels[row * FRAME_WIDTH + x] = 0;
}

void draw_shadow_face(std::uint32_t* pixels, const CellCorner (&c)[3]) {
    const std::int32_t slope_tm = column_slope(c[0], c[1]);
    const std::int32_t slope_mb = column_slope(c[1], c[2]);
    const std::int32_t slope_tb = column_slope(c[0], c[2]);
    const std::int64_t top = c[0].y, mid = c[1].y, bottom = c[2].y;
    for (std::int64_t y = std::max<std::int64_t>(top, 0); y < std::min<std::int64_t>(mid, FRAME_HEIGHT); ++y) {
        clear_row(pixels, y, edge_column(c[0].x, slope_tb, y - top), edge_column(c[0].x, slope_tm, y - top));
    }
    for (std::int64_t y = std::max<std::int64_t>(mid, 0); y < std::min<std::int64_t>(bottom, FRAME_HEIGHT); ++y) {
        clear_row(pixels, y, edge_column(c[0].x, slope_tb, y - top), edge_column(c[1].x, slope_mb, y - mid));
    }
}

// --- textured pass: 16.16 corners carrying depth and texel coordinates ---

struct RasterCorner {
    Fixed x, y, z, u, v;
};

// Values carried along an edge, or their change per row.
struct EdgeValues {
    Fixed x, u, v, z;
};

EdgeValues values_at(const RasterCorner& c) { return {c.x, c.u, c.v, c.z}; }

EdgeValues advanced(EdgeValues e, const EdgeValues& step, std::int32_t rows) {
    return {wrap_add(e.x, wrap_mul(step.x, rows)), wrap_add(e.u, wrap_mul(step.u, rows)),
            wrap_add(e.v, wrap_mul(step.v, rows)), wrap_add(e.z, wrap_mul(step.z, rows))};
}

// Which component of an edge's gradients is divided exactly by the height rather than
// multiplied by the reciprocal (the rounding differs, and each edge has its own recipe).
enum class ExactlyDivided { none, x, z };

EdgeValues gradients(const RasterCorner& from, const RasterCorner& to, ExactlyDivided exact) {
    const std::int32_t h = wrap_sub(to.y, from.y);
    if (h <= 0) return {};
    const Fixed r = static_cast<Fixed>(RECIPROCAL_ONE / h);
    const Fixed dx = wrap_sub(to.x, from.x), dz = wrap_sub(to.z, from.z);
    EdgeValues g{fixed_mul(dx, r), fixed_mul(wrap_sub(to.u, from.u), r), fixed_mul(wrap_sub(to.v, from.v), r),
                 fixed_mul(dz, r)};
    if (exact == ExactlyDivided::x) g.x = static_cast<Fixed>(std::int64_t{dx} * 65536 / h);
    if (exact == ExactlyDivided::z) g.z = static_cast<Fixed>(std::int64_t{dz} * 65536 / h);
    return g;
}

void draw_textured_face(Mesh& mesh, const RasterCorner (&c)[3]) {
    const EdgeValues step_tm = gradients(c[0], c[1], ExactlyDivided::x);
    const EdgeValues step_tb = gradients(c[0], c[2], ExactlyDivided::z);
    const EdgeValues step_mb = gradients(c[1], c[2], ExactlyDivided::none);
    const bool long_edge_first = step_tb.x < step_tm.x;

    const std::int32_t top = c[0].y >> 16, mid = c[1].y >> 16, bottom = c[2].y >> 16;
    const std::int32_t first = std::max(top, 0);
    const std::int32_t end = std::min(bottom, FRAME_HEIGHT);
    if (first >= end) return;

    EdgeValues long_edge = advanced(values_at(c[0]), step_tb, first - top);
    EdgeValues short_edge =
        first < mid ? advanced(values_at(c[0]), step_tm, first - top) : advanced(values_at(c[1]), step_mb, first - mid);
    for (std::int32_t row = first; row < end; ++row) {
        if (row == mid) short_edge = values_at(c[1]);
        const Fixed y = row << 16;
        if (mesh.clip_top <= y && y < mesh.clip_bottom) {
            const EdgeValues& a = long_edge_first ? long_edge : short_edge;
            const EdgeValues& b = long_edge_first ? short_edge : long_edge;
            draw_span(mesh, a.x >> 16, b.x >> 16, row, a.u, a.v, b.u, b.v, a.z, b.z);
        }
        long_edge = advanced(long_edge, step_tb, 1);
        short_edge = advanced(short_edge, row < mid ? step_tm : step_mb, 1);
    }
}

// Environment mapping: the rotated normal's x and y, -1..1, as texel coordinates 0..256.
Fixed normal_to_texel(Fixed n) { return wrap_mul(wrap_add(n, 0x10000), 128); }

// Row and column of the 256-wide texture, wrapped into 0..255 each.
std::int64_t texel_index(Fixed u, Fixed v) {
    const auto column = (static_cast<std::uint32_t>(u) >> 16) & 0xFF;
    const auto row = (static_cast<std::uint32_t>(v) >> 16) & 0xFF;
    return row << 8 | column;
}

}  // namespace

void draw_mesh_shadow(Mesh& mesh) {
    for (std::int32_t i = 0; i < mesh.face_count; ++i) {
        const MeshFace& face = mesh.faces[i];
        CellCorner c[3];
        const std::int32_t corners[3] = {face.vertex_a, face.vertex_b, face.vertex_c};
        for (int k = 0; k < 3; ++k) {
            c[k] = {wrap_add(mesh.screen_x[corners[k]], SHADOW_OFFSET_COLUMNS),
                    wrap_add(mesh.screen_y[corners[k]], SHADOW_OFFSET_ROWS)};
        }
        if (c[0].x < 0 && c[1].x < 0 && c[2].x < 0) continue;
        mesh.face_area[i] = signed_area(to_fixed(c[0].x), to_fixed(c[0].y), to_fixed(c[1].x), to_fixed(c[1].y),
                                        to_fixed(c[2].x), to_fixed(c[2].y));
        if (mesh.face_area[i] >= 0) continue;
        sort_by_row(c);
        draw_shadow_face(mesh.frame_pixels, c);
    }
}

void draw_mesh(Mesh& mesh) {
    if (!mesh.loaded) return;
    for (std::int32_t i = 0; i < mesh.face_count; ++i) {
        const MeshFace& face = mesh.faces[i];
        const std::int32_t corners[3] = {face.vertex_a, face.vertex_b, face.vertex_c};
        const bool environment = face.material == MATERIAL_ENVIRONMENT;
        const MeshTexFace& tex_face = mesh.tex_faces[i];
        const std::int32_t tex_corners[3] = {tex_face.tex_a, tex_face.tex_b, tex_face.tex_c};
        mesh.current_texels = environment ? mesh.env_texture : mesh.texture;

        RasterCorner c[3];
        for (int k = 0; k < 3; ++k) {
            const std::int32_t vi = corners[k];
            c[k].x = to_fixed(mesh.screen_x[vi]);
            c[k].y = to_fixed(mesh.screen_y[vi]);
            c[k].z = mesh.screen_z[vi];
            if (environment) {
                c[k].u = normal_to_texel(mesh.vertices[vi].tnx);
                c[k].v = normal_to_texel(mesh.vertices[vi].tny);
            } else {
                c[k].u = mesh.tex_coords[tex_corners[k]].u;
                c[k].v = mesh.tex_coords[tex_corners[k]].v;
            }
        }
        if (c[0].z < 0 || c[1].z < 0 || c[2].z < 0) continue;
        if (c[0].x < 0 && c[1].x < 0 && c[2].x < 0) continue;
        if (c[0].x >= FIRST_OFF_RIGHT && c[1].x >= FIRST_OFF_RIGHT && c[2].x >= FIRST_OFF_RIGHT) continue;
        mesh.face_area[i] = signed_area(c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y);
        sort_by_row(c);
        if (c[0].y > LAST_ROW || c[2].y < 0 || mesh.face_area[i] >= 0) continue;
        draw_textured_face(mesh, c);
    }
}

void draw_span(Mesh& mesh, std::int32_t xa, std::int32_t xb, std::int32_t row, Fixed ua, Fixed va, Fixed ub,
               Fixed vb, Fixed za, Fixed zb) {
    constexpr std::int32_t LAST_COLUMN = FRAME_WIDTH - 1;
    if ((xa < 0 && xb < 0) || (xa > LAST_COLUMN && xb > LAST_COLUMN)) return;
    if (row < 0 || row >= FRAME_HEIGHT) return;
    if (xa > xb) {
        std::swap(xa, xb);
        std::swap(ua, ub);
        std::swap(va, vb);
        std::swap(za, zb);
    }
    Fixed du = 0, dv = 0, dz = 0;
    if (xb > xa) {
        const Fixed r = static_cast<Fixed>(RECIPROCAL_ONE / ((std::int64_t{xb} - xa) * 65536));
        du = fixed_mul(wrap_sub(ub, ua), r);
        dv = fixed_mul(wrap_sub(vb, va), r);
        dz = fixed_mul(wrap_sub(zb, za), r);
    }
    const std::int32_t clip_left = std::clamp(mesh.clip_left, 0, FRAME_WIDTH);
    const std::int32_t clip_right = std::clamp(mesh.clip_right, 0, FRAME_WIDTH);
    if (xb >= clip_right) xb = clip_right - 1;
    if (xa < clip_left) {
        // Advance the start to the window edge, n columns on.
        const Fixed n = static_cast<Fixed>((std::int64_t{clip_left} - xa) * 65536);
        ua = wrap_add(ua, fixed_mul(du, n));
        va = wrap_add(va, fixed_mul(dv, n));
        za = wrap_add(za, fixed_mul(dz, n));
        xa = clip_left;
    }
    if (xa > xb) return;

    std::uint32_t* pixels = mesh.frame_pixels + row * FRAME_WIDTH;
    std::int32_t* depth = mesh.depth_buffer + row * FRAME_WIDTH;
    const Image& texels = *mesh.current_texels;
    const auto tint = static_cast<std::uint32_t>(mesh.tint);
    for (std::int32_t x = xa; x <= xb; ++x) {
        if (za < depth[x]) {
            depth[x] = za;
            const std::uint32_t texel = image_word(texels, texel_index(ua, va));
            pixels[x] = tint == 0 ? texel : tint | ((texel & 0xFF) / 3) << 8 | 0x01000064;
        }
        ua = wrap_add(ua, du);
        va = wrap_add(va, dv);
        za = wrap_add(za, dz);
    }
}

}  // namespace textdemo
