// mesh_transform: the per-frame view and object rotation and the projection of a mesh.
//
// Offers: update_camera (rebuilds the view rotation, applies and clears the move vector)
// and transform_mesh (rebuilds the object rotation, projects every vertex into screen_x,
// screen_y, screen_z and rotates every normal into tnx, tny, tnz).
// Depends on: fixed_math (product rule, matrices, sine tables), text_frame (Camera), mesh.
//
// All arithmetic is 16.16 fixed point: products through fixed_mul, sums wrapping in 32 bits.
// The projection centre is column 40, row 25; a point at depth Z lands focal / Z cells per
// unit from it.
#pragma once

#include "frame/text_frame.hpp"
#include "mesh/mesh.hpp"

namespace textdemo {

void update_camera(Camera& camera);

// Projects the mesh as seen from camera (which this does not update).
void transform_mesh(Mesh& mesh, const Camera& camera);

}  // namespace textdemo
