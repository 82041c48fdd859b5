// The generated mesh pineapple3.ase.bin: file layout, indices in range, unit normals, a
// closed and consistently wound surface whose front faces are the ones facing the viewer,
// and enough of it on screen under the closing scene's camera.
//
// The camera and projection are worked out here from their formulas with the fixed-point
// helpers (sine tables, rotation_matrix, transform_vector), independently of the mesh
// renderer; cells are counted as those whose corner point lies in a front face.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "frame/fixed_math.hpp"

namespace textdemo {
namespace {

struct MeshFile {
    std::uint32_t vertex_count = 0, face_count = 0, tex_count = 0;
    std::vector<std::array<std::int32_t, 9>> vertices;
    std::vector<std::array<std::int32_t, 7>> faces;
    std::vector<std::array<std::int32_t, 2>> tex;
    std::vector<std::array<std::int32_t, 7>> tex_faces;
    std::size_t size = 0;
};

std::uint32_t be32(const std::vector<unsigned char>& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}
std::int32_t le32(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::int32_t>(std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
                                     std::uint32_t{b[at + 3]} << 24);
}

template <std::size_t N>
void read_records(const std::vector<unsigned char>& b, std::size_t& at, std::uint32_t count, std::vector<std::array<std::int32_t, N>>& out) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::array<std::int32_t, N> r{};
        for (std::size_t k = 0; k < N; ++k, at += 4) r[k] = le32(b, at);
        out.push_back(r);
    }
}

const MeshFile& mesh_file() {
    static const MeshFile mesh = [] {
        MeshFile m;
        std::ifstream in(std::string(TEXTDEMO_CONTENT_FILES) + "/pineapple3.ase.bin", std::ios::binary);
        const std::vector<unsigned char> b(std::istreambuf_iterator<char>(in), {});
        m.size = b.size();
        if (b.size() < 12) return m;
        m.vertex_count = be32(b, 0), m.face_count = be32(b, 4), m.tex_count = be32(b, 8);
        if (b.size() != 12 + 36ull * m.vertex_count + 56ull * m.face_count + 8ull * m.tex_count) return m;
        std::size_t at = 12;
        read_records(b, at, m.vertex_count, m.vertices);
        read_records(b, at, m.face_count, m.faces);
        read_records(b, at, m.tex_count, m.tex);
        read_records(b, at, m.face_count, m.tex_faces);
        return m;
    }();
    return mesh;
}

TEST(ContentMesh, LayoutCountsAndIndices) {
    const MeshFile& m = mesh_file();
    ASSERT_EQ(m.size, 12 + 36ull * m.vertex_count + 56ull * m.face_count + 8ull * m.tex_count);
    EXPECT_GE(m.face_count, 300u);
    EXPECT_LE(m.face_count, 5000u);
    int environment_faces = 0, texture_faces = 0;
    for (std::uint32_t i = 0; i < m.face_count; ++i) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(m.faces[i][k], 0);
            ASSERT_LT(m.faces[i][k], static_cast<std::int32_t>(m.vertex_count));
        }
        (m.faces[i][6] == 1 ? environment_faces : texture_faces)++;
        if (m.faces[i][6] == 1) continue;
        // Texture-mapped faces address the 256 x 256 texture through in-range records.
        for (int k = 0; k < 3; ++k) {
            const std::int32_t t = m.tex_faces[i][k];
            ASSERT_GE(t, 0);
            ASSERT_LT(t, static_cast<std::int32_t>(m.tex_count));
            for (std::int32_t c : m.tex[t]) {
                EXPECT_GE(c, 0);
                EXPECT_LT(c, 256 << 16);
            }
        }
    }
    EXPECT_GT(texture_faces, 0);
    EXPECT_GT(environment_faces, 2 * texture_faces) << "most faces are environment-mapped";
}

TEST(ContentMesh, NormalsAreUnitLength) {
    for (const auto& v : mesh_file().vertices) {
        const double nx = v[3] / 65536.0, ny = v[4] / 65536.0, nz = v[5] / 65536.0;
        EXPECT_NEAR(nx * nx + ny * ny + nz * nz, 1.0, 1.0 / 4096);
    }
}

struct V3 {
    double x, y, z;
};
V3 position(const std::array<std::int32_t, 9>& v) { return {v[0] / 65536.0, v[1] / 65536.0, v[2] / 65536.0}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 minus(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TEST(ContentMesh, ClosedSurfaceWoundOutward) {
    const MeshFile& m = mesh_file();
    // Every directed edge once and its reverse once: closed and consistently wound.
    std::map<std::pair<int, int>, int> edges;
    for (const auto& f : m.faces) {
        for (int k = 0; k < 3; ++k) edges[{f[k], f[(k + 1) % 3]}]++;
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1);
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << "open edge " << edge.first << "-" << edge.second;
    }
    // (b - a) x (c - a) agrees with the stored normals and points away from the centre.
    for (const auto& f : m.faces) {
        const V3 a = position(m.vertices[f[0]]), b = position(m.vertices[f[1]]), c = position(m.vertices[f[2]]);
        const V3 n = cross(minus(b, a), minus(c, a));
        V3 normals{0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            const auto& v = m.vertices[f[k]];
            normals = {normals.x + v[3], normals.y + v[4], normals.z + v[5]};
        }
        EXPECT_GT(dot(n, normals), 0);
        EXPECT_GT(dot(n, V3{a.x + b.x + c.x, a.y + b.y + c.y, a.z + b.z + c.z}), 0);
    }
}

// --- The closing scene's camera, from its formulas -------------------------------------

constexpr std::uint32_t CLOSING_START_MS = 189767;
constexpr Fixed FOCAL = 0x960000;

struct Projected {
    std::vector<int> x, y;
    std::vector<Fixed> z, normal_z;
};

Matrix3 rotation_of(std::int32_t a, std::int32_t b, std::int32_t c) {
    a &= 0xFFFF, b &= 0xFFFF, c &= 0xFFFF;
    Matrix3 r;
    rotation_matrix(CosineTable[b], SineTable[a], SineTable[b], SineTable[c], CosineTable[a], CosineTable[c], r);
    Matrix3 result = MATRIX_IDENTITY;
    matrix_multiply(r, result);
    return result;
}

Projected project(const MeshFile& m, std::uint32_t pos, float bounce) {
    const std::int32_t s = SineTable[(pos & 0xFFF) * 16];
    const Matrix3 camera = rotation_of(16384, 0, SineTable[(s >> 7) & 0xFFFF]);
    const float d = static_cast<float>(pos - CLOSING_START_MS);
    const Vector3 camera_position{SineTable[(pos & 0x1FFF) * 8] + 4000, static_cast<Fixed>(bounce * 65536.0f),
                                  CosineTable[(pos & 0x3FFF) * 4] + static_cast<Fixed>(65536.0f * (d / 1500.0f - 9.9f)) - 1000};
    Matrix3 combined = rotation_of(12000, SineTable[(s >> 6) & 0xFFFF], static_cast<std::int32_t>(pos * 10));
    matrix_multiply(camera, combined);
    Vector3 t;
    transform_vector(camera, camera_position, t);
    Projected p;
    for (const auto& v : m.vertices) {
        Vector3 q, n;
        transform_vector(combined, v.data(), q);
        transform_vector(combined, Vector3{v[3], v[4], v[5]}, n);
        Fixed z = q.z + t.z;
        if (z == 0) z = 1;
        const Fixed k = static_cast<Fixed>((static_cast<std::int64_t>(FOCAL) << 16) / z);
        p.x.push_back((fixed_mul(q.x + t.x, k) >> 16) + 40);
        p.y.push_back((fixed_mul(q.y + t.y, k) >> 16) + 25);
        p.z.push_back(z);
        p.normal_z.push_back(n.z);
    }
    return p;
}

// Doubled signed screen area, rows growing downward; negative = front face.
std::int64_t doubled_area(const Projected& p, const std::array<std::int32_t, 7>& f) {
    const std::int64_t ax = p.x[f[0]], ay = p.y[f[0]], bx = p.x[f[1]], by = p.y[f[1]], cx = p.x[f[2]], cy = p.y[f[2]];
    return (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
}

// Cells of the 80 x 50 frame covered by front faces in front of the viewer.
int covered_cells(const MeshFile& m, const Projected& p) {
    std::vector<bool> cell(80 * 50, false);
    for (const auto& f : m.faces) {
        if (p.z[f[0]] < 0 || p.z[f[1]] < 0 || p.z[f[2]] < 0 || doubled_area(p, f) >= 0) continue;
        const int x0 = std::max(0, std::min({p.x[f[0]], p.x[f[1]], p.x[f[2]]}));
        const int x1 = std::min(79, std::max({p.x[f[0]], p.x[f[1]], p.x[f[2]]}));
        const int y0 = std::max(0, std::min({p.y[f[0]], p.y[f[1]], p.y[f[2]]}));
        const int y1 = std::min(49, std::max({p.y[f[0]], p.y[f[1]], p.y[f[2]]}));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                bool inside = true;
                for (int k = 0; k < 3 && inside; ++k) {
                    const std::int64_t ax = p.x[f[k]], ay = p.y[f[k]], bx = p.x[f[(k + 1) % 3]], by = p.y[f[(k + 1) % 3]];
                    inside = (bx - ax) * (y - ay) - (x - ax) * (by - ay) <= 0;
                }
                if (inside) cell[y * 80 + x] = true;
            }
        }
    }
    int count = 0;
    for (bool c : cell) count += c;
    return count;
}

class ContentMeshCamera : public ::testing::Test {
protected:
    static void SetUpTestSuite() { build_sine_tables(); }
};

TEST_F(ContentMeshCamera, FrontFacesByAreaSignFaceTheViewer) {
    const MeshFile& m = mesh_file();
    ASSERT_FALSE(m.faces.empty());
    // Around the moment the object crosses the middle of the screen.
    for (std::uint32_t pos : {203000u, 204600u, 206000u}) {
        const Projected p = project(m, pos, 15.0f);
        int front = 0, facing = 0;
        for (const auto& f : m.faces) {
            if (doubled_area(p, f) >= 0) continue;
            ++front;
            facing += static_cast<std::int64_t>(p.normal_z[f[0]]) + p.normal_z[f[1]] + p.normal_z[f[2]] < 0;
        }
        ASSERT_GT(front, 100);
        // Faces at the silhouette may go either way; the bulk must face the viewer (-z).
        EXPECT_GT(facing, front * 9 / 10) << "at " << pos << " ms";
    }
}

// Seconds of the closing section (up to the earliest end of the music, 212 s) in which
// at least 5% of the cells show the object, for a camera height from `bounce`.
template <typename Bounce>
double seconds_on_screen(Bounce bounce) {
    const MeshFile& m = mesh_file();
    constexpr std::uint32_t STEP_MS = 32, END_MS = 212000;
    int frames = 0;
    for (std::uint32_t pos = CLOSING_START_MS; pos <= END_MS; pos += STEP_MS) {
        frames += covered_cells(m, project(m, pos, bounce(pos))) >= 200;
    }
    return frames * STEP_MS / 1000.0;
}

TEST_F(ContentMeshCamera, OnScreenForEightSecondsOfTheClosingSection) {
    // Camera height 9 between beats, 20 just after one; with a kick on every beat
    // (16 rows) it falls 0.2 per 16 ms frame from 20 until the next kick.
    const double resting = seconds_on_screen([](std::uint32_t) { return 9.0f; });
    const double kicked = seconds_on_screen([](std::uint32_t) { return 20.0f; });
    const double beating = seconds_on_screen([](std::uint32_t pos) {
        const double since_kick = std::fmod(pos - CLOSING_START_MS, 16 * 21.802325581395348);
        return std::max(9.0f, 20.0f - 0.2f * static_cast<float>(std::floor(since_kick / 16)));
    });
    EXPECT_GE(resting, 8.0) << "camera height 9";
    EXPECT_GE(kicked, 8.0) << "camera height 20";
    EXPECT_GE(beating, 8.0) << "kick on every beat";
}

}  // namespace
}  // namespace textdemo
