// Shadow and textured rasterisation of small scenes whose cells are worked out by hand,
// and the guards that keep any triangle inside the 80 x 50 arrays.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "frame/text_frame.hpp"
#include "mesh/mesh_raster.hpp"
#include "mesh/mesh_transform.hpp"
#include "tests/support/test_content.hpp"

using namespace textdemo;

namespace {

constexpr std::uint32_t BACKGROUND = 0x00ABCDEF;
constexpr std::uint32_t GUARD_WORD = 0xDEADBEEF;
constexpr Fixed FAR = 0x640000;
constexpr int GUARD_CELLS = 4000;

// 256 x 256 texture whose texel names its own row and column.
Image coordinate_texture() {
    Image image;
    image.width = image.height = 256;
    image.count = 65536;
    image.pixels.resize(65536);
    for (std::uint32_t v = 0; v < 256; ++v) {
        for (std::uint32_t u = 0; u < 256; ++u) image.pixels[v * 256 + u] = 0x00100000 | v << 8 | u;
    }
    return image;
}
std::uint32_t texel(std::uint32_t u, std::uint32_t v) { return 0x00100000 | v << 8 | u; }

// Pixel and depth arrays with guard cells on both sides, so writes outside show up.
struct GuardedFrame {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(GUARD_CELLS * 2 + FRAME_CELLS, GUARD_WORD);
    std::vector<std::int32_t> depth = std::vector<std::int32_t>(GUARD_CELLS * 2 + FRAME_CELLS, -7);

    GuardedFrame() {
        std::fill_n(frame(), FRAME_CELLS, BACKGROUND);
        std::fill_n(depth.data() + GUARD_CELLS, FRAME_CELLS, FAR);
    }
    std::uint32_t* frame() { return pixels.data() + GUARD_CELLS; }
    std::int32_t* depths() { return depth.data() + GUARD_CELLS; }
    std::uint32_t at(int row, int column) { return frame()[row * FRAME_WIDTH + column]; }
    std::int32_t depth_at(int row, int column) { return depths()[row * FRAME_WIDTH + column]; }
    bool guards_intact() const {
        for (int i = 0; i < GUARD_CELLS; ++i) {
            const std::size_t after = GUARD_CELLS + FRAME_CELLS + i;
            if (pixels[i] != GUARD_WORD || pixels[after] != GUARD_WORD || depth[i] != -7 || depth[after] != -7) {
                return false;
            }
        }
        return true;
    }
};

struct Corner {
    std::int32_t x, y;  // projected cell
    Fixed u = 0, v = 0, z = 0x10000;
};

class MeshRaster : public ::testing::Test {
protected:
    // One texture-mapped face per corner triple, corners in the order given, with the
    // projection already done: each corner is its own vertex and texture coordinate.
    void build(const std::vector<std::array<Corner, 3>>& faces, std::int32_t material = 0) {
        test::MeshContent content;
        for (const auto& face : faces) {
            const std::int32_t base = static_cast<std::int32_t>(content.vertices.size());
            for (const Corner& c : face) {
                content.vertices.push_back({0, 0, 0, 0, 0, 0x10000, 0, 0, 0});
                content.tex_coords.push_back({c.u, c.v});
            }
            content.faces.push_back({base, base + 1, base + 2, {0, 0, 0}, material});
            content.tex_faces.push_back({base, base + 1, base + 2, {0, 0, 0, 0}});
        }
        const auto bytes = test::encode_mesh(content);
        std::string error;
        ASSERT_TRUE(parse_mesh(bytes.data(), bytes.size(), mesh, error)) << error;
        int i = 0;
        for (const auto& face : faces) {
            for (const Corner& c : face) {
                mesh.screen_x[i] = c.x;
                mesh.screen_y[i] = c.y;
                mesh.screen_z[i] = c.z;
                ++i;
            }
        }
        bind_mesh(mesh, &texture, &texture, frame.frame(), frame.depths());
    }

    // Every cell of the frame: the listed words, the background elsewhere.
    void expect_frame(const std::map<std::pair<int, int>, std::uint32_t>& cells) {
        for (int row = 0; row < FRAME_HEIGHT; ++row) {
            for (int column = 0; column < FRAME_WIDTH; ++column) {
                const auto it = cells.find({row, column});
                EXPECT_EQ(frame.at(row, column), it == cells.end() ? BACKGROUND : it->second)
                    << "row " << row << " column " << column;
            }
        }
        EXPECT_TRUE(frame.guards_intact());
    }

    Image texture = coordinate_texture();
    GuardedFrame frame;
    Mesh mesh;
};

TEST_F(MeshRaster, ShadowOfAFrontFaceIsAHalfOpenStaircaseDisplacedBy10And5) {
    // Corners (2,0), (2,4), (6,0): displaced (12,5), (12,9), (16,5). Top (12,5), mid (16,5),
    // bottom (12,9): the long edge stays on column 12, the lower short edge runs from 16
    // back to 12 one column a row; each row ends before its larger column.
    build({{{{2, 0}, {2, 4}, {6, 0}}}});
    draw_mesh_shadow(mesh);
    EXPECT_EQ(mesh.face_area[0], -16 << 16);
    std::map<std::pair<int, int>, std::uint32_t> cells;
    for (int row = 5; row <= 8; ++row) {
        for (int column = 12; column < 16 - (row - 5); ++column) cells[{row, column}] = 0;
    }
    expect_frame(cells);
}

TEST_F(MeshRaster, ShadowClipsToTheFrameAndSkipsFacesWhollyLeft) {
    // Displaced to (70,45), (70,55), (90,45): rows 45..49, columns 70..79 at most.
    build({{{{60, 40}, {60, 50}, {80, 40}}}, {{{-11, 0}, {-11, 9}, {-15, 0}}}});
    mesh.face_area[1] = 12345;
    draw_mesh_shadow(mesh);
    std::map<std::pair<int, int>, std::uint32_t> cells;
    for (int row = 45; row < 50; ++row) {
        // Slope (70 - 90) / 10 = -2 columns a row from column 90.
        const int end = std::min(90 - 2 * (row - 45), 80);
        for (int column = 70; column < end; ++column) cells[{row, column}] = 0;
    }
    expect_frame(cells);
    EXPECT_EQ(mesh.face_area[1], 12345);  // all columns negative: skipped before the area
}

TEST_F(MeshRaster, BackFacesAndFlatFacesDrawNothingButGetTheirArea) {
    build({{{{2, 0}, {6, 0}, {2, 4}}},              // mirrored corner order: a back face
           {{{10, 10}, {20, 10}, {30, 10}}}});      // all corners on one row
    mesh.face_area[1] = 999;
    draw_mesh_shadow(mesh);
    EXPECT_EQ(mesh.face_area[0], 16 << 16);
    EXPECT_EQ(mesh.face_area[1], 0);
    mesh.face_area[1] = 999;
    draw_mesh(mesh);
    EXPECT_EQ(mesh.face_area[0], 16 << 16);
    EXPECT_EQ(mesh.face_area[1], 0);
    expect_frame({});
}

TEST_F(MeshRaster, TexturedTriangleSamplesTheTexelsWorkedOutByHand) {
    // Corners (10,20) uv (0,0); (10,24) uv (0,4); (14,20) uv (4,0). Sorted: top (10,20),
    // mid (14,20), bottom (10,24). Spans run from the long edge (column 10, u 0, v = row
    // step) to the short edge (14 - step, u = 4 - step), both ends inclusive. Per span the
    // u step is (4 - k) x (65536 / (4 - k)) truncated: exactly 1.0 for widths 4, 2 and 1,
    // but 65535 for width 3, so row 21 reads columns 0, 0, 1, 2.
    build({{{{10, 20, 0, 0}, {10, 24, 0, 4 << 16}, {14, 20, 4 << 16, 0}}}});
    draw_mesh(mesh);
    EXPECT_EQ(mesh.face_area[0], -16 << 16);
    std::map<std::pair<int, int>, std::uint32_t> cells;
    const int row_u[4][5] = {{0, 1, 2, 3, 4}, {0, 0, 1, 2, -1}, {0, 1, 2, -1, -1}, {0, 1, -1, -1, -1}};
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 5 && row_u[k][i] >= 0; ++i) {
            cells[{20 + k, 10 + i}] = texel(row_u[k][i], k);
            EXPECT_EQ(frame.depth_at(20 + k, 10 + i), 0x10000);
        }
    }
    expect_frame(cells);
    EXPECT_EQ(frame.depth_at(24, 10), FAR);
}

TEST_F(MeshRaster, TintWritesPresetWordsFromTheTexelsGreyLevel) {
    texture.pixels[3 * 256 + 2] = 0x00123456;  // grey 0x56 = 86, a third is 28 = 0x1C
    build({{{{10, 20}, {10, 21}, {11, 20}}}});
    mesh.tint = 0xE60000;
    draw_span(mesh, 10, 10, 20, 2 << 16, 3 << 16, 0, 0, 0x10000, 0x10000);
    EXPECT_EQ(frame.at(20, 10), 0x01E61C64u);
    mesh.tint = 0;
    draw_span(mesh, 11, 11, 20, 2 << 16, 3 << 16, 0, 0, 0x10000, 0x10000);
    EXPECT_EQ(frame.at(20, 11), 0x00123456u);  // the texel itself, kind 0
}

TEST_F(MeshRaster, SpanClippedOnTheLeftAdvancesByTheHiddenColumns) {
    build({});
    // From -5 to 3: u 0..8, v 10..2, depth 10..2, one unit a column. Columns 0..3 show the
    // values five steps on.
    draw_span(mesh, -5, 3, 7, 0, 10 << 16, 8 << 16, 2 << 16, 10 << 16, 2 << 16);
    std::map<std::pair<int, int>, std::uint32_t> cells;
    for (int x = 0; x <= 3; ++x) {
        cells[{7, x}] = texel(5 + x, 5 - x);
        EXPECT_EQ(frame.depth_at(7, x), (5 - x) << 16);
    }
    // Given right to left, the ends swap together with their values.
    draw_span(mesh, 81, 77, 8, 4 << 16, 0, 0, 0, 1 << 16, 1 << 16);
    cells[{8, 77}] = texel(0, 0);
    cells[{8, 78}] = texel(1, 0);
    cells[{8, 79}] = texel(2, 0);
    // Wholly left, wholly right, or outside the rows: nothing.
    draw_span(mesh, -9, -1, 9, 0, 0, 0, 0, 0, 0);
    draw_span(mesh, 80, 200, 9, 0, 0, 0, 0, 0, 0);
    draw_span(mesh, 0, 79, -1, 0, 0, 0, 0, 0, 0);
    draw_span(mesh, 0, 79, 50, 0, 0, 0, 0, 0, 0);
    expect_frame(cells);
}

TEST_F(MeshRaster, DepthTestIsStrict) {
    build({});
    draw_span(mesh, 0, 3, 0, 1 << 16, 1 << 16, 1 << 16, 1 << 16, 5 << 16, 5 << 16);
    draw_span(mesh, 0, 3, 0, 2 << 16, 2 << 16, 2 << 16, 2 << 16, 5 << 16, 5 << 16);  // equal: kept
    draw_span(mesh, 2, 3, 0, 3 << 16, 3 << 16, 3 << 16, 3 << 16, 6 << 16, 4 << 16);  // 6.0 no, 4.0 yes
    EXPECT_EQ(frame.at(0, 0), texel(1, 1));
    EXPECT_EQ(frame.at(0, 1), texel(1, 1));
    EXPECT_EQ(frame.at(0, 2), texel(1, 1));
    EXPECT_EQ(frame.at(0, 3), texel(3, 3));
    EXPECT_EQ(frame.depth_at(0, 2), 5 << 16);
    EXPECT_EQ(frame.depth_at(0, 3), 4 << 16);
}

TEST_F(MeshRaster, TexelCoordinatesWrapIntoTheTexture) {
    build({});
    const Fixed u[] = {256 << 16, -(1 << 16), 300 << 16, 255 << 16};
    const Fixed v[] = {3 << 16, 256 << 16, -(2 << 16), 0x7FFFFFFF};
    for (int i = 0; i < 4; ++i) draw_span(mesh, i, i, 0, u[i], v[i], u[i], v[i], 0, 0);
    EXPECT_EQ(frame.at(0, 0), texel(0, 3));
    EXPECT_EQ(frame.at(0, 1), texel(255, 0));
    EXPECT_EQ(frame.at(0, 2), texel(44, 254));
    EXPECT_EQ(frame.at(0, 3), texel(255, 255));
    // A smaller fallback picture reads as 0 beyond its pixels.
    Image small;
    small.width = 80;
    small.height = 50;
    small.count = 4000;
    small.pixels.assign(4000, 0x00777777);
    mesh.current_texels = &small;
    draw_span(mesh, 5, 6, 0, 0, 200 << 16, 0, 200 << 16, 0, 0);
    draw_span(mesh, 7, 7, 0, 5 << 16, 2 << 16, 0, 0, 0, 0);
    EXPECT_EQ(frame.at(0, 5), 0u);
    EXPECT_EQ(frame.at(0, 7), 0x00777777u);
}

TEST_F(MeshRaster, EqualEndColumnsTakeTheValuesOfTheEdgeWithTheSmallerGradient) {
    // Top (10,0) u 0, mid u 40, bottom (10 or 11, 8) u 0. Rows 1..3 have both ends on
    // column 10: the short edge (u 10 a row) and the long edge (u 0).
    // Long edge leaning right (+1/8 column a row) against a vertical short edge: short first.
    build({{{{10, 0, 0}, {10, 4, 40 << 16}, {11, 8, 0}}}});
    draw_mesh(mesh);
    for (int row = 1; row <= 3; ++row) EXPECT_EQ(frame.at(row, 10), texel(10 * row, 0)) << row;

    // Vertical long edge against a short edge leaning right (+1/4 a row): long first.
    GuardedFrame other;
    frame = other;
    build({{{{10, 0, 0}, {10, 8, 0}, {11, 4, 40 << 16}}}});
    draw_mesh(mesh);
    for (int row = 1; row <= 3; ++row) EXPECT_EQ(frame.at(row, 10), texel(0, 0)) << row;
}

TEST_F(MeshRaster, EdgeGradientsFollowTheirOwnRoundingRecipes) {
    // Heights of 3 rows make the reciprocal 2^32 / 3.0 = 21845 fall short of a third:
    // gradients formed as a product with it come out one unit low (65535 instead of 1.0 for
    // a 3-column edge), while the top-to-mid x gradient and the long edge's depth gradient
    // are exact quotients.
    build({
        // A: top (10,0), mid (13,3), bottom (10,6). Short edge x 10, 11, 12 (exact), then 13,
        // then from 13 down by 65535: 12.00002, 11.00003 (columns 12, 11). Long edge column 10,
        // depth 1.0 + row (exact 6.0 / 6 rows); it comes first (0 < 1.0).
        {{{10, 0, 0, 0, 1 << 16}, {10, 6, 0, 0, 7 << 16}, {13, 3, 3 << 16, 0, 1 << 16}}},
        // B: top (33,0), mid (30,3), bottom (33,6). Short edge 32, 31 (exact), 30 at mid, then
        // up by 65535: 30.99998, 31.99997 (columns 30, 31). Short edge first. Its u climbs
        // 65535 a row to 196605 (column 2) but restarts at the mid corner's 3.0.
        {{{33, 0, 0}, {30, 3, 3 << 16}, {33, 6, 0}}},
        // C: flat bottom, top (50,0), mid (50,3), bottom (53,3). The long edge to (53,3) moves
        // 65535 a row: columns 10, 10, 11 relative; the short edge stays on 50.
        {{{50, 0}, {50, 3}, {53, 3}}},
    });
    draw_mesh(mesh);
    const int spans[][3] = {{0, 10, 10}, {1, 10, 11}, {2, 10, 12}, {3, 10, 13}, {4, 10, 12}, {5, 10, 11},
                            {0, 33, 33}, {1, 32, 33}, {2, 31, 33}, {3, 30, 33}, {4, 30, 33}, {5, 31, 33},
                            {0, 50, 50}, {1, 50, 50}, {2, 50, 51}};
    std::set<std::pair<int, int>> covered;
    for (const auto& s : spans) {
        for (int column = s[1]; column <= s[2]; ++column) covered.insert({s[0], column});
    }
    for (int row = 0; row < FRAME_HEIGHT; ++row) {
        for (int column = 0; column < FRAME_WIDTH; ++column) {
            EXPECT_EQ(frame.at(row, column) != BACKGROUND, covered.count({row, column}) == 1)
                << "row " << row << " column " << column;
        }
    }
    for (int row = 0; row < 6; ++row) EXPECT_EQ(frame.depth_at(row, 10), (1 + row) << 16) << row;
    EXPECT_EQ(frame.at(3, 30), texel(3, 0));
    EXPECT_EQ(frame.at(4, 30), texel(2, 0));  // 3.0 - 65535 = 131073
    EXPECT_TRUE(frame.guards_intact());
}

TEST_F(MeshRaster, FacesBehindOrBesideTheViewAreSkippedBeforeTheirArea) {
    build({{{{10, 20, 0, 0, -1}, {10, 24}, {14, 20}}},   // one corner behind the viewer
           {{{80, 20}, {80, 24}, {84, 20}}},             // wholly right of the frame
           {{{10, 50}, {10, 54}, {14, 50}}},             // wholly below
           {{{10, -5}, {10, 0}, {14, -5}}}});            // bottom row 0: no rows
    for (int i = 0; i < 4; ++i) mesh.face_area[i] = 4242;
    draw_mesh(mesh);
    EXPECT_EQ(mesh.face_area[0], 4242);
    EXPECT_EQ(mesh.face_area[1], 4242);
    EXPECT_EQ(mesh.face_area[2], -16 << 16);  // skipped after the area, by its top row
    EXPECT_EQ(mesh.face_area[3], -20 << 16);
    expect_frame({});
}

TEST_F(MeshRaster, EnvironmentMappingReadsTheRotatedNormal) {
    Image env = coordinate_texture();
    build({{{{10, 20}, {10, 24}, {14, 20}}}}, MATERIAL_ENVIRONMENT);
    mesh.env_texture = &env;
    mesh.texture = nullptr;  // never read for environment-mapped faces
    for (MeshVertex& vertex : mesh.vertices) {
        vertex.tnx = 0;         // u = (0 + 1.0) x 128 = 128
        vertex.tny = -0x18000;  // v = (-1.5 + 1.0) x 128 = -64: wraps to row 192
    }
    draw_mesh(mesh);
    EXPECT_EQ(frame.at(20, 10), texel(128, 192));
    EXPECT_EQ(frame.at(23, 11), texel(128, 192));
    EXPECT_EQ(mesh.current_texels, &env);
}

TEST_F(MeshRaster, MeshesNotLoadedAreNotDrawn) {
    build({{{{10, 20}, {10, 24}, {14, 20}}}});
    mesh.loaded = false;
    draw_mesh(mesh);
    expect_frame({});
}

TEST_F(MeshRaster, WholePipelineSceneWithShadowAndTintedMesh) {
    build_sine_tables();
    // Three vertices 10 units ahead; the rotation diag(65534) and 25 cells a unit put them
    // at (40,25), (40,29) and (44,25) (0.2 units rotate to 13107 = 4.99998 cells).
    test::MeshContent content;
    content.vertices = {{0, 0, 0, 0, 0, 0x10000, 0, 0, 0},
                        {0, 13108, 0, 0, 0, 0x10000, 0, 0, 0},
                        {13108, 0, 0, 0, 0, 0x10000, 0, 0, 0}};
    content.faces = {{0, 1, 2, {0, 0, 0}, 0}};
    content.tex_coords = {{0, 0}, {0, 4 << 16}, {4 << 16, 0}};
    content.tex_faces = {{0, 1, 2, {0, 0, 0, 0}}};
    const auto bytes = test::encode_mesh(content);
    std::string error;
    ASSERT_TRUE(parse_mesh(bytes.data(), bytes.size(), mesh, error)) << error;
    bind_mesh(mesh, &texture, &texture, frame.frame(), frame.depths());
    mesh.tint = 0xE60000;
    mesh.angle_a = mesh.angle_b = mesh.angle_c = 32768;
    mesh.position = {0, 0, 10 << 16};
    transform_mesh(mesh, Camera{});
    draw_mesh_shadow(mesh);
    draw_mesh(mesh);

    std::map<std::pair<int, int>, std::uint32_t> cells;
    // Shadow: the staircase from (50,30), rows 30..33.
    for (int row = 30; row <= 33; ++row) {
        for (int column = 50; column < 54 - (row - 30); ++column) cells[{row, column}] = 0;
    }
    // Mesh: the hand-worked triangle at (40,25); the grey byte of texel (u, v) is u.
    const int row_u[4][5] = {{0, 1, 2, 3, 4}, {0, 0, 1, 2, -1}, {0, 1, 2, -1, -1}, {0, 1, -1, -1, -1}};
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 5 && row_u[k][i] >= 0; ++i) {
            cells[{25 + k, 40 + i}] = 0x01E60064u | static_cast<std::uint32_t>(row_u[k][i] / 3) << 8;
            EXPECT_EQ(frame.depth_at(25 + k, 40 + i), 10 << 16);
        }
    }
    expect_frame(cells);
}

TEST_F(MeshRaster, HugeAndWrappedCoordinatesNeverWriteOutsideTheFrame) {
    const std::int32_t extremes[] = {-2147483647 - 1, -32768, -32728, -100, -1, 0, 25, 40, 79, 80, 32767, 32807,
                                     2147483647};
    std::mt19937 rng(7);
    std::vector<std::array<Corner, 3>> faces;
    for (int i = 0; i < 400; ++i) {
        std::array<Corner, 3> face;
        for (Corner& c : face) {
            c.x = extremes[rng() % std::size(extremes)];
            c.y = extremes[rng() % std::size(extremes)];
            c.u = static_cast<Fixed>(rng());
            c.v = static_cast<Fixed>(rng());
            c.z = static_cast<Fixed>(rng() % 4 == 0 ? 0 : rng() & 0x7FFFFFFF);
        }
        faces.push_back(face);
    }
    build(faces);
    draw_mesh_shadow(mesh);
    draw_mesh(mesh);
    EXPECT_TRUE(frame.guards_intact());
    for (int i = 0; i < 200; ++i) {
        const auto pick = [&] { return static_cast<std::int32_t>(rng()); };
        draw_span(mesh, pick(), pick(), pick() % 60, pick(), pick(), pick(), pick(), pick(), pick());
    }
    EXPECT_TRUE(frame.guards_intact());
}

TEST_F(MeshRaster, NearZeroDepthCornerIsProjectedAndStillDrawn) {
    build_sine_tables();
    test::MeshContent content;
    // Vertex 0 sits exactly at the eye after the rotation diag(65534) and the offset.
    content.vertices = {{0, 0, -655380, 0, 0, 0x10000, 0, 0, 0},
                        {0, 0x8000, 0, 0, 0, 0x10000, 0, 0, 0},
                        {0x8000, 0, 0, 0, 0, 0x10000, 0, 0, 0}};
    content.faces = {{0, 1, 2, {0, 0, 0}, MATERIAL_ENVIRONMENT}};
    content.tex_faces = {{0, 0, 0, {0, 0, 0, 0}}};
    const auto bytes = test::encode_mesh(content);
    std::string error;
    ASSERT_TRUE(parse_mesh(bytes.data(), bytes.size(), mesh, error)) << error;
    bind_mesh(mesh, &texture, &texture, frame.frame(), frame.depths());
    mesh.angle_a = mesh.angle_b = mesh.angle_c = 32768;
    mesh.position = {0, 0, 10 << 16};
    transform_mesh(mesh, Camera{});
    EXPECT_EQ(mesh.screen_z[0], 1);
    // 250.0 x 2^16 / 1 leaves nothing in the low 32 bits of the scale: the corner sits at
    // the centre. The other two are 0.5 units out: 12 cells.
    EXPECT_EQ(mesh.screen_x[0], 40);
    EXPECT_EQ(mesh.screen_y[0], 25);
    EXPECT_EQ(mesh.screen_y[1], 37);
    EXPECT_EQ(mesh.screen_x[2], 52);
    draw_mesh(mesh);
    EXPECT_EQ(frame.at(25, 40), texel(128, 128));  // drawn, at depth 1
    EXPECT_EQ(frame.depth_at(25, 40), 1);
    EXPECT_TRUE(frame.guards_intact());
}

}  // namespace
