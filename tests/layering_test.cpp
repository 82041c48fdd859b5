// The folders are layers: a source file includes our headers only from its own folder and
// from the layers below it. The order of the layers is written down here, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace textdemo {
namespace {

namespace fs = std::filesystem;

// Lowest first. Folders of one rank (the displays) may not include each other either.
struct Layer {
    const char* folder;
    int rank;
};
constexpr Layer LAYERS[] = {
    {"frame", 0}, {"resources", 1}, {"song", 2},         {"mesh", 3},    {"effects", 4},
    {"show", 5},  {"display/gl", 6}, {"display/console", 6}, {"display/web", 6}, {"apps", 7}, {"tools", 8},
};

// The layer a path inside the source tree belongs to, or null.
const Layer* layer_of(const std::string& path) {
    for (const Layer& layer : LAYERS) {
        const std::string folder = std::string(layer.folder) + "/";
        if (path.compare(0, folder.size(), folder) == 0) return &layer;
    }
    return nullptr;
}

// One line for each include of ours that reaches a layer above the including file's own, a
// sibling of the same rank, or a folder outside the layers (tests, benchmarks).
std::vector<std::string> layering_violations(const fs::path& root) {
    static const std::regex INCLUDE(R"(^\s*#\s*include\s+"([^"]+)\")");
    std::vector<std::string> violations;
    for (const Layer& layer : LAYERS) {
        const fs::path folder = root / layer.folder;
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".hpp")) continue;
            const std::string file = fs::relative(entry.path(), root).generic_string();
            const Layer* own = layer_of(file);
            if (own != &layer) continue;  // a deeper folder listed as a layer of its own
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                std::smatch match;
                if (!std::regex_search(line, match, INCLUDE)) continue;
                const std::string header = match[1];
                if (header.find('/') == std::string::npos) continue;  // a library's own header
                const Layer* target = layer_of(header);
                const bool allowed = target && (target == own || target->rank < own->rank);
                if (!allowed) violations.push_back(file + ":" + std::to_string(number) + " includes " + header);
            }
        }
    }
    return violations;
}

TEST(Layering, NoFileIncludesAHeaderFromALayerAboveItsOwn) {
    const std::vector<std::string> violations = layering_violations(TEXTDEMO_SOURCE_DIR);
    std::string listed;
    for (const std::string& violation : violations) listed += violation + "\n";
    EXPECT_TRUE(violations.empty()) << listed;
}

TEST(Layering, TheCheckFindsUpwardSiblingAndOutsideIncludes) {
    char pattern[] = "/tmp/textdemo-layering-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    const auto write = [&](const char* path, const char* text) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    };
    write("frame/a.hpp", "#include <vector>\n#include \"frame/b.hpp\"\n");
    write("song/c.cpp", "#include \"frame/a.hpp\"\n  #  include \"show/timeline.hpp\"\n");
    write("display/gl/d.cpp", "#include \"display/console/e.hpp\"\n#include \"mesh/mesh.hpp\"\n");
    write("tools/f.cpp", "#include \"tests/support/x.hpp\"\n#include \"apps/y.hpp\"\n");
    std::vector<std::string> found = layering_violations(root);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"display/gl/d.cpp:1 includes display/console/e.hpp",
                                               "song/c.cpp:2 includes show/timeline.hpp",
                                               "tools/f.cpp:1 includes tests/support/x.hpp"}));
    fs::remove_all(root);
}

}  // namespace
}  // namespace textdemo
