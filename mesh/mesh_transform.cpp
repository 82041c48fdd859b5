// mesh_transform: rotation, projection and normal rotation of a mesh (see mesh_transform.hpp).
#include "mesh/mesh_transform.hpp"

#include <cstdint>

namespace textdemo {

namespace {

constexpr int CENTRE_COLUMN = 40;
constexpr int CENTRE_ROW = 25;

// Clears the upper 16 bits of each angle, then builds identity x rotation(angles).
Matrix3 rotation_from_angles(std::int32_t& angle_a, std::int32_t& angle_b, std::int32_t& angle_c) {
    angle_a &= 0xFFFF;
    angle_b &= 0xFFFF;
    angle_c &= 0xFFFF;
    Matrix3 r;
    rotation_matrix(CosineTable[angle_b], SineTable[angle_a], SineTable[angle_b], SineTable[angle_c],
                    CosineTable[angle_a], CosineTable[angle_c], r);
    Matrix3 result = MATRIX_IDENTITY;
    matrix_multiply(r, result);
    return result;
}

Fixed row_dot(const Fixed* row, const Vector3& v) {
    return wrap_add(wrap_add(fixed_mul(row[0], v.x), fixed_mul(row[1], v.y)), fixed_mul(row[2], v.z));
}

}  // namespace

void update_camera(Camera& camera) {
    camera.rotation = rotation_from_angles(camera.angle_a, camera.angle_b, camera.angle_c);
    // The move vector is in view axes: the rotation applied as a column-vector transform
    // takes it back to world axes.
    const Fixed* m = camera.rotation.m;
    camera.position.x = wrap_add(camera.position.x, row_dot(m, camera.move));
    camera.position.y = wrap_add(camera.position.y, row_dot(m + 3, camera.move));
    camera.position.z = wrap_add(camera.position.z, row_dot(m + 6, camera.move));
    camera.move = Vector3{};
}

void transform_mesh(Mesh& mesh, const Camera& camera) {
    mesh.rotation = rotation_from_angles(mesh.angle_a, mesh.angle_b, mesh.angle_c);
    Matrix3 combined = MATRIX_IDENTITY;
    matrix_multiply(mesh.rotation, combined);
    matrix_multiply(camera.rotation, combined);

    const Vector3 offset{wrap_add(mesh.position.x, camera.position.x), wrap_add(mesh.position.y, camera.position.y),
                         wrap_add(mesh.position.z, camera.position.z)};
    Vector3 translation;
    transform_vector(camera.rotation, offset, translation);

    const std::int64_t focal_scaled = static_cast<std::int64_t>(mesh.focal) * 65536;
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        MeshVertex& vertex = mesh.vertices[i];
        Vector3 p;
        transform_vector(combined, Vector3{vertex.x, vertex.y, vertex.z}, p);
        const Fixed x = wrap_add(p.x, translation.x);
        const Fixed y = wrap_add(p.y, translation.y);
        Fixed z = wrap_add(p.z, translation.z);

        Vector3 normal;
        transform_vector(combined, Vector3{vertex.nx, vertex.ny, vertex.nz}, normal);
        vertex.tnx = normal.x;
        vertex.tny = normal.y;
        vertex.tnz = normal.z;

        if (z == 0) z = 1;
        // The scale is kept as a 32-bit Fixed, as the product rule takes it.
        const Fixed k = static_cast<Fixed>(focal_scaled / z);
        mesh.screen_x[i] = (fixed_mul(x, k) >> 16) + CENTRE_COLUMN;
        mesh.screen_y[i] = (fixed_mul(y, k) >> 16) + CENTRE_ROW;
        mesh.screen_z[i] = z;
    }
}

}  // namespace textdemo
