// mesh_pineapple: builds the body of revolution and its file bytes.
// Depends on: nothing but the standard library.
#include "tools/content/mesh_pineapple.hpp"

#include <cmath>
#include <numbers>

namespace textdemo::content {

namespace {
struct Vec {
    double x, y, z;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

std::int32_t to_fixed(double v) { return static_cast<std::int32_t>(std::lround(v * 65536.0)); }

// Surface point at latitude t (0 at the top pole, pi at the bottom) and longitude phi.
Vec surface(const BodyRecipe& r, double t, double phi) {
    const double bumps = r.bump * std::cos(r.bump_rows * phi) * std::cos(1.5 * r.bump_rows * t) * std::sin(t);
    const double scale = 1 + bumps;
    // A pineapple's flanks are fuller than an ellipsoid's.
    const double flank = std::pow(std::sin(t), 0.8);
    return {r.radius * flank * std::cos(phi) * scale, -r.half_height * std::cos(t) * scale, r.radius * flank * std::sin(phi) * scale};
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
void put_le32(std::vector<std::uint8_t>& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
}  // namespace

MeshData build_body(const BodyRecipe& r) {
    const double pi = std::numbers::pi;
    const int rings = r.rings, segments = r.segments;
    std::vector<Vec> points;
    // Vertex 0 is the top pole, then rings 1..rings-1 of `segments` vertices, then the bottom pole.
    points.push_back(surface(r, 0, 0));
    for (int i = 1; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) points.push_back(surface(r, pi * i / rings, 2 * pi * j / segments));
    }
    points.push_back(surface(r, pi, 0));
    const int bottom = static_cast<int>(points.size()) - 1;
    auto ring_vertex = [&](int i, int j) { return 1 + (i - 1) * segments + j % segments; };

    MeshData mesh;
    // Texture coordinates: a (segments + 1)-column grid for the rings (the seam column is
    // doubled so u runs 0..255 without wrapping), and one per segment at each pole.
    for (int i = 1; i < rings; ++i) {
        for (int j = 0; j <= segments; ++j) mesh.tex_coords.push_back({to_fixed(255.0 * j / segments), to_fixed(255.0 * i / rings)});
    }
    const int top_tex = static_cast<int>(mesh.tex_coords.size());
    for (int j = 0; j < segments; ++j) mesh.tex_coords.push_back({to_fixed(255.0 * (j + 0.5) / segments), 0});
    const int bottom_tex = static_cast<int>(mesh.tex_coords.size());
    for (int j = 0; j < segments; ++j) mesh.tex_coords.push_back({to_fixed(255.0 * (j + 0.5) / segments), to_fixed(255.0)});
    auto ring_tex = [&](int i, int j) { return (i - 1) * (segments + 1) + j; };

    auto add_face = [&](int a, int b, int c, int ta, int tb, int tc, double latitude) {
        // Order the corners so that the face's normal points away from the centre.
        const Vec n = cross(points[b] - points[a], points[c] - points[a]);
        if (dot(n, points[a] + points[b] + points[c]) < 0) std::swap(b, c), std::swap(tb, tc);
        const bool cap = latitude < r.cap_angle || latitude > pi - r.cap_angle;
        mesh.faces.push_back({a, b, c, 0, 0, 0, cap ? MATERIAL_TEXTURE : MATERIAL_ENVIRONMENT});
        mesh.tex_faces.push_back({ta, tb, tc, 0, 0, 0, 0});
    };
    for (int j = 0; j < segments; ++j) {
        add_face(0, ring_vertex(1, j), ring_vertex(1, j + 1), top_tex + j, ring_tex(1, j), ring_tex(1, j + 1), 0.5 * pi / rings);
    }
    for (int i = 1; i < rings - 1; ++i) {
        const double latitude = pi * (i + 0.5) / rings;
        for (int j = 0; j < segments; ++j) {
            const int a = ring_vertex(i, j), b = ring_vertex(i, j + 1), c = ring_vertex(i + 1, j), d = ring_vertex(i + 1, j + 1);
            const int ta = ring_tex(i, j), tb = ring_tex(i, j + 1), tc = ring_tex(i + 1, j), td = ring_tex(i + 1, j + 1);
            add_face(a, c, b, ta, tc, tb, latitude);
            add_face(b, c, d, tb, tc, td, latitude);
        }
    }
    for (int j = 0; j < segments; ++j) {
        add_face(bottom, ring_vertex(rings - 1, j + 1), ring_vertex(rings - 1, j), bottom_tex + j, ring_tex(rings - 1, j + 1),
                 ring_tex(rings - 1, j), pi - 0.5 * pi / rings);
    }

    // Smooth normals: the area-weighted mean of the normals of the faces around a vertex.
    std::vector<Vec> normals(points.size(), Vec{0, 0, 0});
    for (const auto& f : mesh.faces) {
        const Vec n = cross(points[f[1]] - points[f[0]], points[f[2]] - points[f[0]]);
        for (int k = 0; k < 3; ++k) normals[f[k]] = normals[f[k]] + n;
    }
    for (std::size_t v = 0; v < points.size(); ++v) {
        const Vec n = normals[v];
        const double length = std::sqrt(dot(n, n));
        mesh.vertices.push_back({to_fixed(points[v].x), to_fixed(points[v].y), to_fixed(points[v].z), to_fixed(n.x / length),
                                 to_fixed(n.y / length), to_fixed(n.z / length), 0, 0, 0});
    }
    return mesh;
}

std::vector<std::uint8_t> mesh_file_bytes(const MeshData& mesh) {
    std::vector<std::uint8_t> out;
    put_be32(out, static_cast<std::uint32_t>(mesh.vertices.size()));
    put_be32(out, static_cast<std::uint32_t>(mesh.faces.size()));
    put_be32(out, static_cast<std::uint32_t>(mesh.tex_coords.size()));
    for (const auto& v : mesh.vertices) for (std::int32_t x : v) put_le32(out, x);
    for (const auto& f : mesh.faces) for (std::int32_t x : f) put_le32(out, x);
    for (const auto& t : mesh.tex_coords) for (std::int32_t x : t) put_le32(out, x);
    for (const auto& f : mesh.tex_faces) for (std::int32_t x : f) put_le32(out, x);
    return out;
}

}  // namespace textdemo::content
