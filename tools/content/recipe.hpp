// recipe: the small "key = value" text files in content/ that describe the pictures and
// the mesh.
//
// Offers: Recipe (ordered key/value pairs read from a file, '#' starts a comment),
// read_recipe, and typed look-ups that print one line naming the file and key on failure.
// Depends on: nothing.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace textdemo::content {

struct Recipe {
    std::string path;
    std::vector<std::pair<std::string, std::string>> entries;

    // Value of the first entry with this key, or nullopt (and one line on stdout).
    std::optional<std::string> text(const std::string& key) const;
    // The value split at whitespace into numbers; nullopt when missing or malformed.
    std::optional<std::vector<double>> numbers(const std::string& key, std::size_t count) const;
};

// Reads path; nullopt (and one line on stdout) when the file cannot be read or a
// non-comment line has no '='.
std::optional<Recipe> read_recipe(const std::string& path);

}  // namespace textdemo::content
