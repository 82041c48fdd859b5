// Camera update and vertex projection against values worked out by hand.
#include <gtest/gtest.h>

#include "mesh/mesh_transform.hpp"
#include "tests/support/test_content.hpp"

using namespace textdemo;

namespace {

class MeshTransform : public ::testing::Test {
protected:
    static void SetUpTestSuite() { build_sine_tables(); }

    // Mesh with the given vertices (normal (1, 0, 0) each) and no faces.
    static Mesh mesh_of(const std::vector<Vector3>& points) {
        test::MeshContent content;
        for (const Vector3& p : points) content.vertices.push_back({p.x, p.y, p.z, 0x10000, 0, 0, 0, 0, 0});
        const auto bytes = test::encode_mesh(content);
        Mesh mesh;
        std::string error;
        EXPECT_TRUE(parse_mesh(bytes.data(), bytes.size(), mesh, error)) << error;
        return mesh;
    }
};

// Angle index 32768 is 0 radians: cosine 65535, sine 0. Index 49152 is a quarter turn.
constexpr std::int32_t ZERO_TURN = 32768;
constexpr std::int32_t QUARTER_TURN = 49152;

TEST_F(MeshTransform, CameraRotationIsRebuiltAndTheMoveVectorApplied) {
    Camera camera;
    camera.angle_a = 0x7FFF0000 | ZERO_TURN;  // upper bits are cleared
    camera.angle_b = ZERO_TURN;
    camera.angle_c = QUARTER_TURN;
    camera.position = {5, 6, 7};
    camera.move = {0x10000, 0, 0x20000};
    update_camera(camera);
    EXPECT_EQ(camera.angle_a, ZERO_TURN);
    // A quarter turn about z, each 65535 x 65535 product rounded down to 65534.
    const Fixed expected[9] = {0, 65534, 0, -65534, 0, 0, 0, 0, 65534};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(camera.rotation.m[i], expected[i]) << i;
    // Column-vector transform: x += m0 mx + m1 my + m2 mz, and so on.
    EXPECT_EQ(camera.position.x, 5);
    EXPECT_EQ(camera.position.y, 6 - 65534);
    EXPECT_EQ(camera.position.z, 7 + 2 * 65534);
    EXPECT_EQ(camera.move.x, 0);
    EXPECT_EQ(camera.move.z, 0);
}

TEST_F(MeshTransform, ProjectsAroundColumn40Row25WithFlooredCells) {
    Mesh mesh = mesh_of({{0, 0, 0},
                         {13108, 0, 0},       // rotated to 13107: 25 x 0.19999 = 4.99 cells
                         {-13108, 0, 0},      // rotated to -13108: -5.0003 floors to -6
                         {0, 131072, 0},      // 2.0 rotated to 131068: 49.99 cells down
                         {0, 0, -655360},     // depth 20 units of 1/65536
                         {0, 0, -655380}});   // exactly at the eye: depth 0 becomes 1
    mesh.angle_a = mesh.angle_b = mesh.angle_c = 0x10000 | ZERO_TURN;
    mesh.position = {0, 0, 10 << 16};
    transform_mesh(mesh, Camera{});
    EXPECT_EQ(mesh.angle_c, ZERO_TURN);
    EXPECT_EQ(mesh.rotation.m[0], 65534);
    EXPECT_EQ(mesh.rotation.m[1], 0);
    const std::int32_t x[] = {40, 44, 34, 40, 40, 40};
    const std::int32_t y[] = {25, 25, 25, 74, 25, 25};
    const std::int32_t z[] = {655360, 655360, 655360, 655360, 20, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(mesh.screen_x[i], x[i]) << i;
        EXPECT_EQ(mesh.screen_y[i], y[i]) << i;
        EXPECT_EQ(mesh.screen_z[i], z[i]) << i;
    }
    // Normals are rotated, not translated.
    EXPECT_EQ(mesh.vertices[1].tnx, 65534);
    EXPECT_EQ(mesh.vertices[1].tny, 0);
    EXPECT_EQ(mesh.vertices[1].tnz, 0);
}

TEST_F(MeshTransform, CameraRotatesBothTheOffsetAndTheVertices) {
    Mesh mesh = mesh_of({{0, 0, 0}, {13108, 0, 0}});
    mesh.angle_a = mesh.angle_b = mesh.angle_c = ZERO_TURN;
    mesh.position = {0, 0, 10 << 16};
    Camera camera;
    camera.angle_a = camera.angle_b = ZERO_TURN;
    camera.angle_c = QUARTER_TURN;
    camera.position = {0x10000, 0, 0};
    update_camera(camera);
    transform_mesh(mesh, camera);
    // Offset (1, 0, 10) turned: (0, 65534, 655340); the scale is 2^32 x 250 / 655340.
    // Vertex 0: 65534 x 1638450 / 2^32 = 24.9999 cells down.
    EXPECT_EQ(mesh.screen_x[0], 40);
    EXPECT_EQ(mesh.screen_y[0], 49);
    EXPECT_EQ(mesh.screen_z[0], 655340);
    // Vertex 1: x turns into y: 13108 x 65532 / 65536 = 13107, so y = 78641 -> 30 cells.
    EXPECT_EQ(mesh.screen_x[1], 40);
    EXPECT_EQ(mesh.screen_y[1], 55);
    // Normal (1, 0, 0) through diag(65534) then the quarter turn.
    EXPECT_EQ(mesh.vertices[1].tnx, 0);
    EXPECT_EQ(mesh.vertices[1].tny, 65532);
}

}  // namespace
