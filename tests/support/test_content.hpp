// test_content: small synthetic resources for tests (PNG images, pattern dumps).
//
// Offers: encode_png (0x00RRGGBB words -> PNG bytes, through stb_image_write),
// make_pattern_dump (a dump of the exact size with the given order list and row counts,
// plus chosen plane bytes), encode_mesh (mesh records -> mesh file bytes), and put_png /
// put_pattern_dump / put_mesh, which place them in the resource archive under a name
// (put_pattern_dump also loads the new dump as the pattern data), and require (the test
// program ends with the failure's line when there is one: the test's own set-up broke).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh.hpp"
#include "resources/failure.hpp"

namespace textdemo::test {

void require(const Failure& failure);

std::vector<std::uint8_t> encode_png(int width, int height, const std::vector<std::uint32_t>& words);

struct PlaneByte {
    int pattern, plane, row;
    std::uint8_t value;
};

// orders: pattern number at each order position (missing positions repeat the last one);
// row_counts: row count of each pattern (missing patterns get 64 rows).
std::vector<std::uint8_t> make_pattern_dump(const std::vector<int>& orders, const std::vector<int>& row_counts,
                                            const std::vector<PlaneByte>& bytes = {});

void put_png(const char* name, int width, int height, const std::vector<std::uint32_t>& words);
void put_pattern_dump(const std::vector<int>& orders, const std::vector<int>& row_counts,
                      const std::vector<PlaneByte>& bytes = {});

// Records of a mesh file; the face count written is faces.size(), and tex_faces should
// hold as many records.
struct MeshContent {
    std::vector<MeshVertex> vertices;
    std::vector<MeshFace> faces;
    std::vector<MeshTexCoord> tex_coords;
    std::vector<MeshTexFace> tex_faces;
};

// Big-endian counts, then the records as little-endian 32-bit values in file order.
std::vector<std::uint8_t> encode_mesh(const MeshContent& content);
void put_mesh(const MeshContent& content);

}  // namespace textdemo::test
