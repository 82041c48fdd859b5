// mesh_raster: the drop shadow and the depth-tested, textured triangle rasteriser.
//
// Offers: draw_mesh_shadow (word 0 under the front faces, 10 columns right and 5 rows
// down), draw_mesh (front faces texture- or environment-mapped with a strict depth test)
// and draw_span (one textured row of a triangle).
// Depends on: fixed_math, image (texel reads), mesh (projected vertices, arrays, clip window).
//
// Front faces are those with a negative face_area, (b - a) x (c - a) with rows growing
// downward. Everything is 16.16 integer arithmetic with 32-bit wrapping values, 64-bit
// intermediates where a shift or a division needs them, and no write outside the 80 x 50
// pixel and depth arrays however far off screen the projected corners lie. Texel
// coordinates wrap into the 256 x 256 texture.
#pragma once

#include <cstdint>

#include "mesh/mesh.hpp"

namespace textdemo {

void draw_mesh_shadow(Mesh& mesh);

void draw_mesh(Mesh& mesh);

// Draws columns xa..xb of row with u, v and depth interpolated from (ua, va, za) at xa to
// (ub, vb, zb) at xb, clipped to the mesh's column window.
void draw_span(Mesh& mesh, std::int32_t xa, std::int32_t xb, std::int32_t row, Fixed ua, Fixed va, Fixed ub,
               Fixed vb, Fixed za, Fixed zb);

}  // namespace textdemo
