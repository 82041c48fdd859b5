// mesh_pineapple: the show's 3D object, a bumpy closed body of revolution, built as the
// records of the binary mesh file "pineapple3.ase.bin".
//
// Offers: BodyRecipe (the shape's parameters), MeshData (vertex, face, texture-coordinate
// and texture-face records as the file stores them), build_body and mesh_file_bytes (the
// file: big-endian counts, then little-endian 16.16 records).
// Depends on: nothing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace textdemo::content {

struct BodyRecipe {
    int rings;              // latitude steps from pole to pole (at least 3)
    int segments;           // longitude steps round the axis (at least 3)
    double radius;          // widest radius, in object units
    double half_height;     // pole distance from the centre
    double bump;            // depth of the diamond bumps, relative to the radius
    int bump_rows;          // diamond bumps: spirals one way and the other
    double cap_angle;       // faces within this latitude angle (radians) of a pole: material 0
};

struct MeshData {
    // Per vertex: x, y, z, nx, ny, nz, and three values the renderer overwrites.
    std::vector<std::array<std::int32_t, 9>> vertices;
    // Per face: vertex_a, vertex_b, vertex_c, three carried values, material.
    std::vector<std::array<std::int32_t, 7>> faces;
    // Per texture coordinate: u, v (texels, 16.16).
    std::vector<std::array<std::int32_t, 2>> tex_coords;
    // Per face: tex_a, tex_b, tex_c, four carried values.
    std::vector<std::array<std::int32_t, 7>> tex_faces;
};

// Material of the environment-mapped faces; every other value is texture-mapped.
constexpr std::int32_t MATERIAL_ENVIRONMENT = 1;
constexpr std::int32_t MATERIAL_TEXTURE = 0;

// The body's long axis is object y; corners of every face are ordered so that
// (b - a) x (c - a) points out of the body.
MeshData build_body(const BodyRecipe& recipe);

std::vector<std::uint8_t> mesh_file_bytes(const MeshData& mesh);

}  // namespace textdemo::content
