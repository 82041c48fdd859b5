// pictures: generate_pictures, which reads content/pictures.txt (lettering, stains) and
// content/shade_glyphs.txt (the 16 glyphs) and writes every PNG the show reads.
// Depends on: recipe, picture_makers, picture_canvas.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/content/generators.hpp"
#include "tools/content/picture_makers.hpp"
#include "tools/content/recipe.hpp"

namespace textdemo::content {

namespace {
constexpr int GLYPH_COUNT = 16, GLYPH_SIZE = 8;

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) {
        const auto first = part.find_first_not_of(' '), last = part.find_last_not_of(' ');
        if (first != std::string::npos) parts.push_back(part.substr(first, last - first + 1));
    }
    return parts;
}

// Glyph file: '#' comment lines, "glyph N ..." headers, each followed by 8 rows of
// 8 characters ('X' ink, '.' paper). Returns an empty list on any malformed line.
std::vector<std::vector<std::string>> read_glyphs(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::printf("unable to open %s\n", path.c_str());
        return {};
    }
    std::vector<std::vector<std::string>> glyphs;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("glyph ", 0) == 0) {
            glyphs.emplace_back();
            continue;
        }
        if (glyphs.empty() || glyphs.back().size() == GLYPH_SIZE) {
            std::printf("%s: glyph row outside a glyph: %s\n", path.c_str(), line.c_str());
            return {};
        }
        for (char& c : line) c = c == 'X' ? '#' : c;
        glyphs.back().push_back(line);
    }
    return glyphs;
}

bool write_lettered(const std::string& out_dir, const std::string& name, const LetteredPicture& pic) {
    return write_grey_png(out_dir + "/" + name + ".png", pic.brightness) &&
           write_grey_png(out_dir + "/" + name + "_opacity.png", pic.opacity);
}

bool write_stains(const Recipe& recipe, const std::string& out_dir) {
    const auto names = recipe.text("stains");
    if (!names) return false;
    for (const std::string& name : split(*names, ' ')) {
        const auto v = recipe.numbers(name, 7);
        if (!v) return false;
        const StainRecipe stain{static_cast<std::uint32_t>((*v)[0]), static_cast<float>((*v)[1]), static_cast<float>((*v)[2]),
                                static_cast<int>((*v)[3]), static_cast<int>((*v)[4]), static_cast<float>((*v)[5]),
                                static_cast<float>((*v)[6])};
        if (!write_grey_png(out_dir + "/" + name + ".png", make_stain(stain))) return false;
    }
    return true;
}

bool write_lettering(const Recipe& recipe, const std::string& out_dir) {
    const auto font_path = recipe.text("font"), title_font_path = recipe.text("title_font");
    const auto makers = recipe.text("makers"), title = recipe.text("title"), greets = recipe.text("greets");
    const auto greets_font_path = recipe.text("greets_font");
    const auto overlay = recipe.text("overlay");
    const auto span = recipe.numbers("greets_columns", 2);
    if (!font_path || !title_font_path || !greets_font_path || !makers || !title || !greets || !overlay || !span) return false;
    const Font font = load_font(*font_path), title_font = load_font(*title_font_path), greets_font = load_font(*greets_font_path);
    if (!font || !title_font || !greets_font) return false;

    if (!write_lettered(out_dir, "kelvaron", make_makers_logo(font, *makers))) return false;
    if (!write_lettered(out_dir, "ruk", make_title(title_font, *title))) return false;
    for (const char* credit : {"quorvila", "zentrobe"}) {
        const auto text = recipe.text(std::string("credit_") + credit);
        if (!text) return false;
        const auto parts = split(*text, '|');
        if (parts.size() != 2) {
            std::printf("%s: credit_%s needs \"role | name\"\n", recipe.path.c_str(), credit);
            return false;
        }
        if (!write_lettered(out_dir, credit, make_credit(font, parts[0], parts[1]))) return false;
    }
    const auto names = split(*greets, ',');
    if (!write_lettered(out_dir, "greets", make_greetings(greets_font, names, static_cast<int>((*span)[0]), static_cast<int>((*span)[1])))) {
        return false;
    }
    return write_png(out_dir + "/logo_overlay.png", FRAME_WIDTH, FRAME_HEIGHT, make_overlay(font, *overlay));
}

bool write_textures(const Recipe& recipe, const std::string& out_dir) {
    const auto seed = recipe.numbers("tunnel_seed", 1);
    if (!seed) return false;
    const LetteredPicture band = make_twister_band();
    return write_grey_png(out_dir + "/tunnel.png", make_tunnel_wall(static_cast<std::uint32_t>((*seed)[0]))) &&
           write_grey_png(out_dir + "/table.png", make_plasma_texture()) &&
           write_grey_png(out_dir + "/twist.png", band.brightness) && write_grey_png(out_dir + "/twistalpha.png", band.opacity) &&
           write_png(out_dir + "/env_red.png", 256, 256, make_skin_texture()) &&
           write_png(out_dir + "/env_red2.png", 256, 256, make_shiny_environment());
}

bool write_font(const std::string& source_dir, const std::string& out_dir) {
    const std::string path = source_dir + "/shade_glyphs.txt";
    const auto words = make_shade_font(read_glyphs(path));
    if (words.empty()) {
        std::printf("%s: needs %d glyphs of %d rows of %d 'X' or '.'\n", path.c_str(), GLYPH_COUNT, GLYPH_SIZE, GLYPH_SIZE);
        return false;
    }
    return write_png(out_dir + "/textmodechars.png", 256, 256, words);
}
}  // namespace

bool generate_pictures(const std::string& source_dir, const std::string& out_dir) {
    const auto recipe = read_recipe(source_dir + "/pictures.txt");
    return recipe && write_stains(*recipe, out_dir) && write_lettering(*recipe, out_dir) && write_textures(*recipe, out_dir) &&
           write_font(source_dir, out_dir);
}

}  // namespace textdemo::content
