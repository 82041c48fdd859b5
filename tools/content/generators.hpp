// generators: the pieces of the content generator, each turning sources from content/
// into resource files in an output folder (later packed into ruk.salad).
//
// Offers: generate_music (ruk.mp3 and patterndata.bin from the song's pattern text),
// generate_pictures (every PNG the effects and the window renderer read),
// generate_mesh (pineapple3.ase.bin).
// Each returns true on success and prints one line naming the problem otherwise.
#pragma once

#include <string>

namespace textdemo::content {

bool generate_music(const std::string& source_dir, const std::string& out_dir);
bool generate_pictures(const std::string& source_dir, const std::string& out_dir);
bool generate_mesh(const std::string& source_dir, const std::string& out_dir);

}  // namespace textdemo::content
