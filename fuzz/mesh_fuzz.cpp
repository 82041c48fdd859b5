// mesh_fuzz: arbitrary bytes as the mesh file; what loads is transformed and drawn from a
// few viewpoints (near, far, behind, exactly at the eye) into guarded frame arrays.
// Depends on: mesh (parse_mesh), mesh_transform, mesh_raster, fixed_math, image.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/fixed_math.hpp"
#include "frame/text_frame.hpp"
#include "mesh/mesh.hpp"
#include "mesh/mesh_raster.hpp"
#include "mesh/mesh_transform.hpp"

using namespace textdemo;

namespace {

constexpr std::uint32_t GUARD = 0xDEADBEEF;

Image texture_of(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.count = width * height;
    image.pixels.resize(static_cast<std::size_t>(image.count));
    for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<std::uint32_t>(i * 2654435761u);
    return image;
}

const Image full_texture = texture_of(256, 256);
const Image fallback_texture = texture_of(80, 50);  // a texture that failed to decode

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    build_sine_tables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Mesh mesh;
    std::string error;
    if (!parse_mesh(data, size, mesh, error)) {
        if (error.empty() || mesh.loaded) std::abort();
        return 0;
    }
    // One guard cell on each side of both arrays: the rasteriser must never reach them.
    std::vector<std::uint32_t> pixels(FRAME_CELLS + 2, GUARD);
    std::vector<std::int32_t> depth(FRAME_CELLS + 2, static_cast<std::int32_t>(GUARD));
    bind_mesh(mesh, &full_texture, size % 2 == 0 ? &full_texture : &fallback_texture, pixels.data() + 1,
              depth.data() + 1);
    mesh.tint = size % 3 == 0 ? 0 : 0xE60000;

    const Fixed depths[] = {10 << 16, 1, 0, -(3 << 16), 0x7FFF0000};
    for (int pose = 0; pose < 5; ++pose) {
        Camera camera;
        camera.angle_a = pose * 13107;
        camera.angle_c = pose * 7000;
        camera.move = {pose << 14, -(pose << 15), pose << 16};
        update_camera(camera);
        mesh.angle_a = 12000 * pose;
        mesh.angle_b = -3000 * pose;
        mesh.angle_c = static_cast<std::int32_t>(size) * 10;
        mesh.position = {0, 0, depths[pose]};
        mesh.focal = pose % 2 == 0 ? 0x960000 : 0xFA0000;
        transform_mesh(mesh, camera);
        std::fill(depth.begin() + 1, depth.end() - 1, 0x640000);
        draw_mesh_shadow(mesh);
        draw_mesh(mesh);
    }
    if (pixels.front() != GUARD || pixels.back() != GUARD || depth.front() != static_cast<std::int32_t>(GUARD) ||
        depth.back() != static_cast<std::int32_t>(GUARD)) {
        std::abort();
    }
    return 0;
}
