// mesh: the show's triangle mesh, its file format and its loader.
//
// Offers: the file records (MeshVertex, MeshFace, MeshTexCoord, MeshTexFace), Mesh (the
// arrays plus the per-frame transform and raster state), parse_mesh (bytes -> Mesh, checking
// what the format does not guarantee), bind_mesh (textures and output arrays), load_mesh
// (the archive entry "pineapple3.ase.bin"; a damaged or missing mesh is a Failure) and
// free_mesh.
// Depends on: fixed_math, image (the two textures), failure, archive and text_frame
// (load_mesh only).
//
// File layout: V, F, T as big-endian unsigned 32-bit counts, then little-endian signed
// 32-bit values: V vertex records (36 bytes), F face records (28), T texture coordinates
// (8), F texture faces (28). Bytes after those are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/fixed_math.hpp"
#include "resources/failure.hpp"
#include "resources/image.hpp"

namespace textdemo {

constexpr const char* MESH_RESOURCE_NAME = "pineapple3.ase.bin";
constexpr Fixed MESH_DEFAULT_FOCAL = 0xFA0000;  // 250.0
constexpr std::int32_t MATERIAL_ENVIRONMENT = 1;

struct MeshVertex {
    Fixed x, y, z;        // object-space position
    Fixed nx, ny, nz;     // object-space unit normal
    Fixed tnx, tny, tnz;  // normal rotated into view space, rewritten every frame
};

struct MeshFace {
    std::int32_t vertex_a, vertex_b, vertex_c;
    std::int32_t unused[3];
    std::int32_t material;  // MATERIAL_ENVIRONMENT: environment-mapped; else texture-mapped
};

struct MeshTexCoord {
    Fixed u, v;  // texel coordinates into a 256 x 256 texture
};

// Texture coordinates of the corners of the face with the same index.
struct MeshTexFace {
    std::int32_t tex_a, tex_b, tex_c;
    std::int32_t unused[4];
};

struct Mesh {
    const Image* texture = nullptr;      // texture-mapped faces; owned by the caller
    const Image* env_texture = nullptr;  // environment-mapped faces; owned by the caller
    Matrix3 rotation = MATRIX_IDENTITY;
    bool loaded = false;
    std::int32_t angle_a = 0, angle_b = 0, angle_c = 0;  // SineTable index units
    Vector3 position{};
    std::vector<MeshVertex> vertices;
    std::vector<MeshFace> faces;
    std::vector<MeshTexCoord> tex_coords;
    std::vector<MeshTexFace> tex_faces;
    std::vector<std::int32_t> face_area;  // signed doubled screen area, 16.16
    std::int32_t vertex_count = 0, face_count = 0, tex_coord_count = 0;
    std::int32_t clip_right = 80, clip_left = 0;  // columns, right exclusive
    Fixed clip_bottom = 50 << 16, clip_top = 0;   // rows in 16.16, bottom exclusive
    std::vector<std::int32_t> screen_x, screen_y, screen_z;
    Fixed focal = MESH_DEFAULT_FOCAL;
    std::int32_t tint = 0;  // 0: texels written as they are; else hue bits of preset words
    std::int32_t* depth_buffer = nullptr;     // 80 x 50
    std::uint32_t* frame_pixels = nullptr;    // 80 x 50
    const Image* current_texels = nullptr;    // texture of the face being drawn
};

// Fills mesh from the file bytes. On damaged input (too short for its counts, an index out
// of range) leaves mesh unloaded, sets error to a short description and returns false.
// Textures and frame arrays are not touched.
bool parse_mesh(const std::uint8_t* bytes, std::size_t size, Mesh& mesh, std::string& error);

// Points the mesh at its two textures (the caller's, which must outlive it; texture-mapped
// faces read `texture`, environment-mapped ones `env_texture`) and at the 80 x 50 pixel and
// depth arrays it draws into.
void bind_mesh(Mesh& mesh, const Image* texture, const Image* env_texture, std::uint32_t* pixels,
               std::int32_t* depth);

// Loads the archive's mesh and binds it to the two textures and the TextFrame's pixel and
// depth arrays. A damaged mesh fails with "mesh \"pineapple3.ase.bin\" is damaged: " and
// what is wrong.
Failure load_mesh(Mesh& mesh, const Image& texture, const Image& env_texture);

// Frees the arrays; the mesh is unloaded afterwards. The textures are not the mesh's.
void free_mesh(Mesh& mesh);

}  // namespace textdemo
