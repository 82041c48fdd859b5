// frame_files: the per-frame outputs of textdemo-capture (--words, --cells, --console,
// --png), each put in place only when complete.
//
// Offers: FrameFiles, frame_files_problem, open_frame_files, write_frame_files,
// commit_frame_files, discard_frame_files.
// Depends on: text_frame, convert (console cells), font_texture, cell_picture, output_file,
// report, interrupts, stb_image_write.
//
// The three frame files grow under fresh names beside their targets and are renamed into
// place together at the end; each picture is written whole and renamed on its own. A
// failure, a full disk included, or an interrupt removes what is not complete: pictures
// already finished stay, the frame files are gone. A FIFO or device named as a frame file
// is written in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/font_texture.hpp"
#include "tools/output/output_file.hpp"

namespace textdemo::capture {

struct FrameFiles {
    tools::OutputFile words, cells, console;  // an empty path: not written
    std::string png_dir;                      // empty: no pictures
    std::vector<std::string> inputs;          // files no output may replace (the archive)
    FontTexture font;                         // for the pictures
};

// What stands against writing the files, as "cannot write PATH: why" or two options naming
// one file; "" when nothing does. Creates nothing.
std::string frame_files_problem(const FrameFiles& files);

// Creates the fresh frame files and the picture folder; false after saying why.
bool open_frame_files(FrameFiles& files);

// Frame number `index` into every output; false after saying why (an interrupt says
// nothing: the caller reports it).
bool write_frame_files(const TextFrame& frame, FrameFiles& files, std::uint64_t index);

// Puts the frame files in place; false after saying why, with the rest removed.
bool commit_frame_files(FrameFiles& files);

void discard_frame_files(FrameFiles& files);

}  // namespace textdemo::capture
