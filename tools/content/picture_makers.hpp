// picture_makers: one function per kind of picture the show needs. Each returns the
// picture as 0x00RRGGBB words or as a grey canvas; generate_pictures (pictures.cpp) names
// and writes them.
//
// Offers: StainRecipe and make_stain (the 80 x 50 splat masks), the lettering pictures
// (makers' logo, title, credits, greetings strip, tunnel overlay), the textures (tunnel
// wall, plasma, twister band, environment maps) and make_shade_font (the glyph image).
// Depends on: picture_canvas, picture_lettering.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/content/picture_canvas.hpp"
#include "tools/content/picture_lettering.hpp"

namespace textdemo::content {

constexpr int FRAME_WIDTH = 80;
constexpr int FRAME_HEIGHT = 50;

// A brightness picture with the opacity picture that says where it is drawn.
struct LetteredPicture {
    Canvas brightness;
    Canvas opacity;
};

// Stains: `blots` soft-edged ink blots of about `size` pixels radius with spattered
// droplets around them on a paper level; `edge_ink` darkens the frame border towards ink.
struct StainRecipe {
    std::uint32_t seed;
    float paper, ink;
    int blots, droplets;
    float size, edge_ink;
};
Canvas make_stain(const StainRecipe& recipe);

// 80 x 50: the word centred a little above the middle, outlined, over an underline bar.
LetteredPicture make_makers_logo(const Font& font, const std::string& word);
// 400 x 50: the title centred on the columns the swaying window shows (55..334).
LetteredPicture make_title(const Font& font, const std::string& title);
// 80 x 50: a dark plate with a small role line and the name, clear at the right edge.
LetteredPicture make_credit(const Font& font, const std::string& role, const std::string& name);
// 960 x 50: the names on two staggered lines between columns first and last, as large
// as fits.
LetteredPicture make_greetings(const Font& font, const std::vector<std::string>& names, int first, int last);
// 80 x 50 colour overlay: the word in warm colours at the bottom, magenta elsewhere.
std::vector<std::uint32_t> make_overlay(const Font& font, const std::string& word);

// 256 x 256 wall panels, sampled by the tunnel at every other pixel; tiles in both axes.
Canvas make_tunnel_wall(std::uint32_t seed);
// 256 x 256 smooth interference pattern; tiles in both axes.
Canvas make_plasma_texture();
// 80 x 46: a twisted square bar (brightness) and its coverage (255 on the bar, else 0);
// repeats vertically every 46 rows.
LetteredPicture make_twister_band();
// 256 x 256 environment maps, indexed by the turned normal's x and y: a shiny one for the
// environment-mapped faces, a patterned skin for the texture-mapped ones. Red tinted;
// the blue byte carries the level the renderer reads.
std::vector<std::uint32_t> make_shiny_environment();
std::vector<std::uint32_t> make_skin_texture();

// 256 x 256 glyph image: glyph g from the 8 x 8 pattern rows glyphs[g] ('#' ink, '.' paper) at x = 8g,
// y = 0, white on black; empty when the patterns are malformed.
std::vector<std::uint32_t> make_shade_font(const std::vector<std::vector<std::string>>& glyphs);

// Coloured words of a red-tinted level: blue = level, red and green from the tint.
std::vector<std::uint32_t> red_tinted(const Canvas& levels);

}  // namespace textdemo::content
