// mesh: parsing, loading and freeing of the show's mesh (see mesh.hpp for the layout).
#include "mesh/mesh.hpp"

#include <cstring>
#include <initializer_list>
#include <limits>

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"

namespace textdemo {

namespace {

constexpr std::size_t HEADER_BYTES = 12;

static_assert(sizeof(MeshVertex) == 36 && sizeof(MeshFace) == 28 && sizeof(MeshTexCoord) == 8 &&
              sizeof(MeshTexFace) == 28, "mesh records must match the file layout");

std::uint32_t read_be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::int32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                     std::uint32_t{p[3]} << 24);
}

// Copies count records of little-endian 32-bit values starting at cursor, then moves it on.
template <typename Record>
std::vector<Record> read_records(const std::uint8_t*& cursor, std::size_t count) {
    constexpr std::size_t WORDS = sizeof(Record) / 4;
    std::vector<Record> records(count);
    for (Record& record : records) {
        std::int32_t words[WORDS];
        for (std::size_t w = 0; w < WORDS; ++w) words[w] = read_le32(cursor + 4 * w);
        std::memcpy(&record, words, sizeof record);
        cursor += sizeof(Record);
    }
    return records;
}

// The three corner indices of face `face` all name one of `count` records; otherwise error
// says which does not.
bool corners_in_range(std::int32_t face, std::initializer_list<std::int32_t> corners, std::int32_t count,
                      const char* record, std::string& error) {
    for (std::int32_t index : corners) {
        if (index >= 0 && index < count) continue;
        error = "face " + std::to_string(face) + " names " + record + " " + std::to_string(index) + " of " +
                std::to_string(count);
        return false;
    }
    return true;
}

// Every index the rasteriser follows must name an existing record: vertex indices of every
// face, texture-coordinate indices of every texture-mapped face.
bool check_indices(const Mesh& mesh, std::string& error) {
    for (std::int32_t i = 0; i < mesh.face_count; ++i) {
        const MeshFace& face = mesh.faces[i];
        if (!corners_in_range(i, {face.vertex_a, face.vertex_b, face.vertex_c}, mesh.vertex_count, "vertex", error))
            return false;
        if (face.material == MATERIAL_ENVIRONMENT) continue;
        const MeshTexFace& tex = mesh.tex_faces[i];
        if (!corners_in_range(i, {tex.tex_a, tex.tex_b, tex.tex_c}, mesh.tex_coord_count, "texture coordinate", error))
            return false;
    }
    return true;
}

}  // namespace

bool parse_mesh(const std::uint8_t* bytes, std::size_t size, Mesh& mesh, std::string& error) {
    free_mesh(mesh);
    if (size < HEADER_BYTES) {
        error = "only " + std::to_string(size) + " bytes, shorter than its header";
        return false;
    }
    const std::uint64_t v = read_be32(bytes), f = read_be32(bytes + 4), t = read_be32(bytes + 8);
    // Each count is below 2^32, so the 64-bit total cannot overflow.
    const std::uint64_t needed = HEADER_BYTES + 36 * v + 56 * f + 8 * t;
    if (needed > size) {
        error = std::to_string(size) + " bytes, too short for " + std::to_string(v) + " vertices, " +
                std::to_string(f) + " faces and " + std::to_string(t) + " texture coordinates (" +
                std::to_string(needed) + " bytes)";
        return false;
    }
    constexpr std::uint64_t MAX_COUNT = std::numeric_limits<std::int32_t>::max();
    if (v > MAX_COUNT || f > MAX_COUNT || t > MAX_COUNT) {
        error = "counts beyond 32-bit signed range";
        return false;
    }

    const std::uint8_t* cursor = bytes + HEADER_BYTES;
    mesh.vertices = read_records<MeshVertex>(cursor, v);
    mesh.faces = read_records<MeshFace>(cursor, f);
    mesh.tex_coords = read_records<MeshTexCoord>(cursor, t);
    mesh.tex_faces = read_records<MeshTexFace>(cursor, f);
    mesh.vertex_count = static_cast<std::int32_t>(v);
    mesh.face_count = static_cast<std::int32_t>(f);
    mesh.tex_coord_count = static_cast<std::int32_t>(t);
    if (!check_indices(mesh, error)) {
        free_mesh(mesh);
        return false;
    }

    mesh.face_area.assign(f, 0);
    mesh.screen_x.assign(v, 0);
    mesh.screen_y.assign(v, 0);
    mesh.screen_z.assign(v, 0);
    mesh.rotation = MATRIX_IDENTITY;
    mesh.angle_a = mesh.angle_b = mesh.angle_c = 0;
    mesh.position = Vector3{};
    mesh.clip_right = 80;
    mesh.clip_left = 0;
    mesh.clip_bottom = 50 << 16;
    mesh.clip_top = 0;
    mesh.focal = MESH_DEFAULT_FOCAL;
    mesh.tint = 0;
    mesh.loaded = true;
    return true;
}

Failure load_mesh(Mesh& mesh, const Image& texture, const Image& env_texture) {
    const ResourceEntry* entry = nullptr;
    if (Failure failure = find_resource(resource_archive(), MESH_RESOURCE_NAME, entry)) return failure;
    std::string error;
    if (!parse_mesh(entry->data, entry->size, mesh, error))
        return {"mesh \"" + std::string(MESH_RESOURCE_NAME) + "\" is damaged: " + error};
    TextFrame& frame = text_frame();
    bind_mesh(mesh, &texture, &env_texture, frame.pixels, frame.depth);
    return {};
}

void bind_mesh(Mesh& mesh, const Image* texture, const Image* env_texture, std::uint32_t* pixels,
               std::int32_t* depth) {
    mesh.texture = texture;
    mesh.env_texture = env_texture;
    mesh.current_texels = texture;
    mesh.frame_pixels = pixels;
    mesh.depth_buffer = depth;
}

void free_mesh(Mesh& mesh) {
    mesh.loaded = false;
    mesh.vertices = {};
    mesh.faces = {};
    mesh.tex_coords = {};
    mesh.tex_faces = {};
    mesh.face_area = {};
    mesh.screen_x = {};
    mesh.screen_y = {};
    mesh.screen_z = {};
    mesh.vertex_count = mesh.face_count = mesh.tex_coord_count = 0;
}

}  // namespace textdemo
