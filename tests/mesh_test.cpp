// Mesh file parsing: byte order, record layout, counts, and rejection of damaged files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh.hpp"
#include "tests/support/test_content.hpp"

using namespace textdemo;

namespace {

// Raw bytes laid out by hand, independent of the test helper's encoder.
std::vector<std::uint8_t> header(std::uint8_t v[4], std::uint8_t f[4], std::uint8_t t[4]) {
    return {v[0], v[1], v[2], v[3], f[0], f[1], f[2], f[3], t[0], t[1], t[2], t[3]};
}

void append(std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> more) {
    bytes.insert(bytes.end(), more);
}

void append_le(std::vector<std::uint8_t>& bytes, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    append(bytes, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                   static_cast<std::uint8_t>(v >> 24)});
}

bool parse(const std::vector<std::uint8_t>& bytes, Mesh& mesh, std::string& error) {
    return parse_mesh(bytes.data(), bytes.size(), mesh, error);
}

// One triangle over three vertices, texture-mapped through three texture coordinates.
test::MeshContent one_triangle() {
    test::MeshContent c;
    c.vertices = {{0, 0, 0, 0, 0, 0x10000, 0, 0, 0}, {0x10000, 0, 0, 0, 0, 0x10000, 0, 0, 0},
                  {0, 0x10000, 0, 0, 0, 0x10000, 0, 0, 0}};
    c.faces = {{0, 1, 2, {0, 0, 0}, 0}};
    c.tex_coords = {{0, 0}, {0x10000, 0}, {0, 0x10000}};
    c.tex_faces = {{0, 1, 2, {0, 0, 0, 0}}};
    return c;
}

TEST(MeshParse, CountsAreBigEndianAndRecordsLittleEndian) {
    std::uint8_t v[4] = {0, 0, 1, 0}, zero[4] = {0, 0, 0, 0};
    auto bytes = header(v, zero, zero);
    append(bytes, {0x01, 0x02, 0x03, 0x04});             // vertex 0, x
    bytes.resize(12 + 36 * 255 + 32, 0);                 // up to vertex 255, tnz
    append(bytes, {0xFF, 0xFF, 0xFF, 0xFF});             // vertex 255, tnz = -1
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(parse(bytes, mesh, error)) << error;
    EXPECT_EQ(mesh.vertex_count, 256);  // not 65536
    EXPECT_EQ(mesh.face_count, 0);
    EXPECT_EQ(mesh.tex_coord_count, 0);
    ASSERT_EQ(mesh.vertices.size(), 256u);
    EXPECT_EQ(mesh.vertices[0].x, 0x04030201);
    EXPECT_EQ(mesh.vertices[255].tnz, -1);
    EXPECT_EQ(mesh.screen_x.size(), 256u);
    EXPECT_EQ(mesh.screen_z.size(), 256u);
}

TEST(MeshParse, RecordFieldsLandWhereTheLayoutPutsThem) {
    std::uint8_t v[4] = {0, 0, 0, 3}, f[4] = {0, 0, 0, 1}, t[4] = {0, 0, 0, 2};
    auto bytes = header(v, f, t);
    for (int i = 0; i < 27; ++i) append_le(bytes, 100 + i);           // three vertices
    for (int value : {2, 0, 1, 7, 8, 9, 1}) append_le(bytes, value);  // face: corners, carried, material
    for (int value : {-5, 6, 0x20000, 0x30000}) append_le(bytes, value);  // two texture coordinates
    for (int value : {1, 0, 1, 11, 12, 13, 14}) append_le(bytes, value);  // texture face
    append(bytes, {0xAB, 0xCD});                                          // trailing bytes are ignored
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(parse(bytes, mesh, error)) << error;
    EXPECT_EQ(mesh.vertices[1].x, 109);
    EXPECT_EQ(mesh.vertices[1].nz, 114);
    EXPECT_EQ(mesh.vertices[2].tnz, 126);
    const MeshFace& face = mesh.faces[0];
    EXPECT_EQ(face.vertex_a, 2);
    EXPECT_EQ(face.vertex_b, 0);
    EXPECT_EQ(face.vertex_c, 1);
    EXPECT_EQ(face.material, 1);
    EXPECT_EQ(mesh.tex_coords[0].u, -5);
    EXPECT_EQ(mesh.tex_coords[1].v, 0x30000);
    EXPECT_EQ(mesh.tex_faces[0].tex_a, 1);
    EXPECT_EQ(mesh.tex_faces[0].tex_c, 1);
    EXPECT_EQ(mesh.face_area.size(), 1u);
}

TEST(MeshParse, StartsWithTheLoaderDefaults) {
    const auto bytes = test::encode_mesh(one_triangle());
    Mesh mesh;
    mesh.tint = 0xE60000;
    mesh.focal = 1;
    mesh.angle_b = 77;
    std::string error;
    ASSERT_TRUE(parse(bytes, mesh, error)) << error;
    EXPECT_TRUE(mesh.loaded);
    EXPECT_EQ(mesh.tint, 0);
    EXPECT_EQ(mesh.focal, 0xFA0000);
    EXPECT_EQ(mesh.angle_b, 0);
    EXPECT_EQ(mesh.clip_left, 0);
    EXPECT_EQ(mesh.clip_right, 80);
    EXPECT_EQ(mesh.clip_top, 0);
    EXPECT_EQ(mesh.clip_bottom, 50 << 16);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(mesh.rotation.m[i], i % 4 == 0 ? 0x10000 : 0);
}

TEST(MeshParse, EmptyMeshLoads) {
    const std::vector<std::uint8_t> bytes(12, 0);
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(parse(bytes, mesh, error)) << error;
    EXPECT_TRUE(mesh.loaded);
    EXPECT_EQ(mesh.face_count, 0);
}

TEST(MeshParse, RejectsFilesShorterThanTheirCounts) {
    const auto full = test::encode_mesh(one_triangle());
    ASSERT_EQ(full.size(), 12u + 36 * 3 + 56 * 1 + 8 * 3);
    Mesh mesh;
    std::string error;
    for (std::size_t size : {std::size_t{0}, std::size_t{11}, std::size_t{12}, full.size() - 1}) {
        EXPECT_FALSE(parse_mesh(full.data(), size, mesh, error)) << size;
        EXPECT_FALSE(mesh.loaded);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(parse_mesh(full.data(), full.size(), mesh, error)) << error;
}

TEST(MeshParse, HugeCountsDoNotWrapTheSizeCheck) {
    // Each of these sizes wraps to a few bytes in 32-bit arithmetic.
    const std::uint8_t counts[][12] = {
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0x71, 0xC7, 0x1C, 0x72, 0, 0, 0, 0, 0, 0, 0, 0},  // 36 V = 16 x 2^32 + 8
        {0, 0, 0, 0, 0x04, 0x92, 0x49, 0x25, 0, 0, 0, 0},  // 56 F = 2^32 + 24
        {0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0, 0},           // 8 T = 2^32
    };
    for (const auto& header_bytes : counts) {
        std::vector<std::uint8_t> bytes(header_bytes, header_bytes + 12);
        bytes.resize(4096, 0);
        Mesh mesh;
        std::string error;
        EXPECT_FALSE(parse(bytes, mesh, error));
        EXPECT_FALSE(mesh.loaded);
    }
}

TEST(MeshParse, RejectsIndicesOutsideTheirArrays) {
    Mesh mesh;
    std::string error;
    for (std::int32_t bad : {3, -1, 0x7FFFFFFF}) {
        for (int corner = 0; corner < 3; ++corner) {
            auto c = one_triangle();
            MeshFace& face = c.faces[0];
            (corner == 0 ? face.vertex_a : corner == 1 ? face.vertex_b : face.vertex_c) = bad;
            EXPECT_FALSE(parse(test::encode_mesh(c), mesh, error)) << bad;
            EXPECT_NE(error.find("vertex"), std::string::npos) << error;

            c = one_triangle();
            MeshTexFace& tex_face = c.tex_faces[0];
            (corner == 0 ? tex_face.tex_a : corner == 1 ? tex_face.tex_b : tex_face.tex_c) = bad;
            EXPECT_FALSE(parse(test::encode_mesh(c), mesh, error)) << bad;
            EXPECT_NE(error.find("texture coordinate"), std::string::npos) << error;
        }
    }
    EXPECT_FALSE(mesh.loaded);
    EXPECT_TRUE(mesh.vertices.empty());
}

TEST(MeshParse, EnvironmentMappedFacesNeedNoTextureCoordinates) {
    auto c = one_triangle();
    c.faces[0].material = MATERIAL_ENVIRONMENT;
    c.tex_coords.clear();
    c.tex_faces[0] = {0, 0, 0, {0, 0, 0, 0}};
    Mesh mesh;
    std::string error;
    EXPECT_TRUE(parse(test::encode_mesh(c), mesh, error)) << error;
    c.faces[0].material = 2;  // any other material is texture-mapped
    EXPECT_FALSE(parse(test::encode_mesh(c), mesh, error));
}

TEST(MeshParse, FreeMeshEmptiesTheArrays) {
    Mesh mesh;
    std::string error;
    ASSERT_TRUE(parse(test::encode_mesh(one_triangle()), mesh, error));
    free_mesh(mesh);
    EXPECT_FALSE(mesh.loaded);
    EXPECT_EQ(mesh.face_count, 0);
    EXPECT_TRUE(mesh.vertices.empty());
    EXPECT_TRUE(mesh.screen_x.empty());
}

}  // namespace
