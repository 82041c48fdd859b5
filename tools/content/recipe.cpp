// recipe: reader of the "key = value" source files. Depends on: the standard library.
#include "tools/content/recipe.hpp"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace textdemo::content {

namespace {
std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}
}  // namespace

std::optional<std::string> Recipe::text(const std::string& key) const {
    for (const auto& [k, v] : entries) {
        if (k == key) return v;
    }
    std::printf("%s: missing \"%s\"\n", path.c_str(), key.c_str());
    return std::nullopt;
}

std::optional<std::vector<double>> Recipe::numbers(const std::string& key, std::size_t count) const {
    const auto value = text(key);
    if (!value) return std::nullopt;
    std::istringstream in(*value);
    std::vector<double> result;
    double v;
    while (in >> v) result.push_back(v);
    if (!in.eof() || result.size() != count) {
        std::printf("%s: \"%s\" needs %zu numbers\n", path.c_str(), key.c_str(), count);
        return std::nullopt;
    }
    return result;
}

std::optional<Recipe> read_recipe(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::printf("unable to open %s\n", path.c_str());
        return std::nullopt;
    }
    Recipe recipe{path, {}};
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string content = trimmed(line.substr(0, line.find('#')));
        if (content.empty()) continue;
        const auto eq = content.find('=');
        if (eq == std::string::npos) {
            std::printf("%s:%d: expected \"key = value\"\n", path.c_str(), number);
            return std::nullopt;
        }
        recipe.entries.emplace_back(trimmed(content.substr(0, eq)), trimmed(content.substr(eq + 1)));
    }
    return recipe;
}

}  // namespace textdemo::content
