// frame_files: frame words, window cells, console cells and pictures written frame by frame.
#include "tools/capture/frame_files.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <type_traits>
#include <utility>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "frame/convert.hpp"
#include "resources/cell_picture.hpp"
#include "tools/capture/interrupts.hpp"
#include "tools/capture/report.hpp"

namespace textdemo::capture {

namespace {

// The frame files asked for, with their options: FrameFiles or const FrameFiles.
template <class Files>
auto named_files(Files& files) {
    using File = std::remove_reference_t<decltype((files.words))>;
    std::vector<std::pair<const char*, File*>> named;
    for (const auto& [option, file] : {std::pair{"--words", &files.words}, std::pair{"--cells", &files.cells},
                                       std::pair{"--console", &files.console}})
        if (!file->path.empty()) named.emplace_back(option, file);
    return named;
}

bool write_bytes(tools::OutputFile& file, const std::uint8_t* bytes, std::size_t size) {
    if (file.path.empty() || tools::write_output(file, bytes, size)) return true;
    if (!caught_interrupt()) report_errno("cannot write " + file.path);
    return false;
}

bool write_picture(const Cell (&cells)[FRAME_CELLS], const FrameFiles& files, std::uint64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "%06llu.png", static_cast<unsigned long long>(index));
    const std::string path = (std::filesystem::path(files.png_dir) / name).string();
    const std::string problem = tools::output_target_problem(path, tools::OutputKind::WholeFile, files.inputs);
    if (!problem.empty()) {
        report("cannot write " + path + ": " + problem);
        return false;
    }
    std::vector<std::uint8_t> rgb;
    draw_cell_picture(cells, files.font, rgb);
    int size = 0;
    unsigned char* png = stbi_write_png_to_mem(rgb.data(), PICTURE_WIDTH * 3, PICTURE_WIDTH, PICTURE_HEIGHT, 3, &size);
    if (!png) {
        report("cannot encode " + path);
        return false;
    }
    const bool written = tools::write_whole_file(path, std::span<const std::uint8_t>(png, static_cast<std::size_t>(size)), true);
    if (!written && !caught_interrupt()) report_errno("cannot write " + path);
    std::free(png);
    return written;
}

}  // namespace

std::string frame_files_problem(const FrameFiles& files) {
    const auto named = named_files(files);
    for (std::size_t i = 0; i < named.size(); ++i) {
        const std::string& path = named[i].second->path;
        for (std::size_t k = i + 1; k < named.size(); ++k) {
            if (tools::same_file(path, named[k].second->path))
                return std::string(named[i].first) + " and " + named[k].first + " name the same file " + path;
        }
        const std::string problem = tools::output_target_problem(path, tools::OutputKind::Stream, files.inputs);
        if (!problem.empty()) return "cannot write " + path + ": " + problem;
    }
    return "";
}

bool open_frame_files(FrameFiles& files) {
    for (const auto& [option, file] : named_files(files)) {
        if (!tools::open_output(*file, tools::OutputKind::Stream)) {
            report_errno("cannot write " + file->path);
            discard_frame_files(files);
            return false;
        }
    }
    if (files.png_dir.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(files.png_dir, error);
    if (!error && !std::filesystem::is_directory(files.png_dir)) error = std::make_error_code(std::errc::not_a_directory);
    if (!error) return true;
    report("cannot create " + files.png_dir + ": " + error.message());
    discard_frame_files(files);
    return false;
}

bool write_frame_files(const TextFrame& frame, FrameFiles& files, std::uint64_t index) {
    std::uint8_t bytes[FRAME_CELLS * 4];
    if (!files.words.path.empty()) {
        for (int i = 0; i < FRAME_CELLS; ++i)
            for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<std::uint8_t>(frame.pixels[i] >> (8 * b));
        if (!write_bytes(files.words, bytes, FRAME_CELLS * 4)) return false;
    }
    if (!files.cells.path.empty()) {
        for (int i = 0; i < FRAME_CELLS; ++i) {
            bytes[i * 2] = static_cast<std::uint8_t>(frame.cells[i].attribute);
            bytes[i * 2 + 1] = static_cast<std::uint8_t>(frame.cells[i].glyph);
        }
        if (!write_bytes(files.cells, bytes, FRAME_CELLS * 2)) return false;
    }
    if (!files.console.path.empty()) {
        ConsoleCell console[FRAME_CELLS];
        convert_frame_console(frame.pixels, console);
        for (int i = 0; i < FRAME_CELLS; ++i) {
            bytes[i * 2] = console[i].character;
            bytes[i * 2 + 1] = console[i].attribute;
        }
        if (!write_bytes(files.console, bytes, FRAME_CELLS * 2)) return false;
    }
    return files.png_dir.empty() || write_picture(frame.cells, files, index);
}

bool commit_frame_files(FrameFiles& files) {
    for (const auto& [option, file] : named_files(files)) {
        if (!tools::commit_output(*file, true)) {
            report_errno("cannot write " + file->path);
            discard_frame_files(files);
            return false;
        }
    }
    return true;
}

void discard_frame_files(FrameFiles& files) {
    for (const auto& [option, file] : named_files(files)) tools::discard_output(*file);
}

}  // namespace textdemo::capture
