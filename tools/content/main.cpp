// textdemo-content SOURCE_DIR OUT_DIR: builds every resource of the show from the sources
// in SOURCE_DIR (content/) into OUT_DIR, ready to be packed into ruk.salad.
// Depends on: the generators (pictures, mesh, music).
#include <cstdio>

#include "tools/content/generators.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: textdemo-content SOURCE_DIR OUT_DIR\n");
        return 1;
    }
    using namespace textdemo::content;
    const bool ok = generate_pictures(argv[1], argv[2]) && generate_mesh(argv[1], argv[2]) &&
                    generate_music(argv[1], argv[2]);
    return ok ? 0 : 1;
}
