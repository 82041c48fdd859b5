// mesh: generate_mesh, which reads content/pineapple.txt and writes pineapple3.ase.bin.
// Depends on: recipe, mesh_pineapple.
#include <cstdio>
#include <fstream>

#include "tools/content/generators.hpp"
#include "tools/content/mesh_pineapple.hpp"
#include "tools/content/recipe.hpp"

namespace textdemo::content {

bool generate_mesh(const std::string& source_dir, const std::string& out_dir) {
    const auto recipe = read_recipe(source_dir + "/pineapple.txt");
    if (!recipe) return false;
    const auto grid = recipe->numbers("grid", 2), size = recipe->numbers("size", 2);
    const auto bumps = recipe->numbers("bumps", 2), cap = recipe->numbers("cap_degrees", 1);
    if (!grid || !size || !bumps || !cap) return false;
    const BodyRecipe body{static_cast<int>((*grid)[0]), static_cast<int>((*grid)[1]), (*size)[0], (*size)[1],
                          (*bumps)[0], static_cast<int>((*bumps)[1]), (*cap)[0] * 3.14159265358979 / 180};
    if (body.rings < 3 || body.segments < 3 || body.radius <= 0 || body.half_height <= 0) {
        std::printf("%s: grid needs at least 3 x 3 and size must be positive\n", recipe->path.c_str());
        return false;
    }
    const auto bytes = mesh_file_bytes(build_body(body));
    const std::string path = out_dir + "/pineapple3.ase.bin";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::printf("unable to write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace textdemo::content
