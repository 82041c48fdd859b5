// cp437: how a code page 437 character code is shown on a Unix terminal.
//
// Offers: cp437_text (the UTF-8 bytes of the character's Unicode equivalent, or a plain
// ASCII look-alike for terminals whose locale is not UTF-8).
// Depends on: nothing.
//
// Codes 0..31 and 127 are the code page's picture characters (smileys, arrows, the bullet
// and ring of the shade glyphs), never terminal control bytes; code 0 shows as a space.
#pragma once

#include <cstdint>
#include <string_view>

namespace textdemo {

// One to three bytes, none of them a C0 control byte or DEL.
std::string_view cp437_text(std::uint8_t code, bool utf8);

}  // namespace textdemo
