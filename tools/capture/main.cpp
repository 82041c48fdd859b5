// textdemo-capture: renders chosen song positions of the show without sound or display.
//
// Builds the show as the programs do (text frame, archive, music loaded for its length on
// the silent output, timeline), then runs the frame loop's own drawing step for each
// position and converts the frame as the programs do, writing the requested outputs.
// Depends on: runtime (music_player, timeline, frame_loop), frame (convert), resources,
// capture_options, cell_picture, video_export, stb_image_write.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "resources/image.hpp"
#include "runtime/frame_loop.hpp"
#include "runtime/music_player.hpp"
#include "runtime/sound_layer.hpp"
#include "runtime/timeline.hpp"
#include "tools/capture/capture_options.hpp"
#include "tools/capture/cell_picture.hpp"
#include "tools/capture/video_export.hpp"

namespace {

using namespace textdemo;
using namespace textdemo::capture;

constexpr int EXIT_BAD_ARGUMENTS = 2;
constexpr int EXIT_WRITE_FAILED = 1;

struct Outputs {
    std::ofstream words, cells, console;
    FontTexture font;
    bool failed = false;
};

bool open_output(std::ofstream& stream, const std::string& path) {
    if (path.empty()) return true;
    stream.open(path, std::ios::binary | std::ios::trunc);
    if (!stream) std::fprintf(stderr, "textdemo-capture: cannot write %s\n", path.c_str());
    return static_cast<bool>(stream);
}

void write_frame(const TextFrame& frame, const CaptureOptions& options, Outputs& out, std::size_t index) {
    if (out.words.is_open()) {
        std::uint8_t bytes[FRAME_CELLS * 4];
        for (int i = 0; i < FRAME_CELLS; ++i)
            for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<std::uint8_t>(frame.pixels[i] >> (8 * b));
        out.words.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    if (out.cells.is_open()) {
        std::uint8_t bytes[FRAME_CELLS * 2];
        for (int i = 0; i < FRAME_CELLS; ++i) {
            bytes[i * 2] = static_cast<std::uint8_t>(frame.cells[i].attribute);
            bytes[i * 2 + 1] = static_cast<std::uint8_t>(frame.cells[i].glyph);
        }
        out.cells.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    if (out.console.is_open()) {
        ConsoleCell console[FRAME_CELLS];
        convert_frame_console(frame.pixels, console);
        std::uint8_t bytes[FRAME_CELLS * 2];
        for (int i = 0; i < FRAME_CELLS; ++i) {
            bytes[i * 2] = console[i].character;
            bytes[i * 2 + 1] = console[i].attribute;
        }
        out.console.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
    if (!options.png_dir.empty()) {
        std::vector<std::uint8_t> rgb;
        draw_cell_picture(frame.cells, out.font, rgb);
        char name[32];
        std::snprintf(name, sizeof name, "%06zu.png", index);
        const std::string path = (std::filesystem::path(options.png_dir) / name).string();
        if (!stbi_write_png(path.c_str(), PICTURE_WIDTH, PICTURE_HEIGHT, 3, rgb.data(), PICTURE_WIDTH * 3)) {
            std::fprintf(stderr, "textdemo-capture: cannot write %s\n", path.c_str());
            out.failed = true;
        }
    }
    if (out.words.fail() || out.cells.fail() || out.console.fail()) out.failed = true;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parse_capture_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "textdemo-capture: %s\n(--help explains the options)\n", parsed.error.c_str());
        return EXIT_BAD_ARGUMENTS;
    }
    const CaptureOptions& options = parsed.options;
    if (options.help) {
        std::fputs(CAPTURE_USAGE, stdout);
        return 0;
    }

    const bool video = !options.video_file.empty();
    const std::string ffmpeg = video ? find_ffmpeg() : "";
    if (video && ffmpeg.empty()) {
        std::fprintf(stderr, "textdemo-capture: --video needs the ffmpeg program (Debian package ffmpeg), not found on PATH\n");
        return EXIT_WRITE_FAILED;
    }

    Outputs out;
    if (!options.png_dir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.png_dir, error);
        if (!std::filesystem::is_directory(options.png_dir)) {
            std::fprintf(stderr, "textdemo-capture: cannot create %s\n", options.png_dir.c_str());
            return EXIT_WRITE_FAILED;
        }
    }
    if (!open_output(out.words, options.words_file) || !open_output(out.cells, options.cells_file) ||
        !open_output(out.console, options.console_file))
        return EXIT_WRITE_FAILED;

    // The programs' start-up, minus sound output and display.
    set_archive_path(options.archive);
    TextFrame& frame = text_frame();
    resource_archive();
    force_silent_sound_output(true);
    MusicPlayer& player = music_player();
    load_music(player);
    if (!options.png_dir.empty() || video) {
        Image font;
        load_image(font, "textmodechars.png");
        out.font = font_texture(font);
    }
    build_timeline();

    if (video) {
        const std::uint32_t to = options.video_to == VIDEO_TO_MUSIC_END ? player.length : options.video_to;
        const std::uint32_t frames = to < options.video_from ? 0 : (to - options.video_from) / FRAME_PERIOD_MS + 1;
        const ResourceEntry& music = find_resource(resource_archive(), "ruk.mp3");
        std::signal(SIGPIPE, SIG_IGN);  // a failing ffmpeg shows as a failed write, not a killed process
        VideoExport export_state;
        bool ok = start_video_export(export_state, ffmpeg, options.video_file, options.video_scale, options.video_from,
                                     frames, music.data, music.size);
        std::vector<std::uint8_t> rgb;
        for (std::uint32_t i = 0; i < frames && ok; ++i) {
            draw_song_frame(options.video_from + i * FRAME_PERIOD_MS);
            convert_frame(frame);
            draw_cell_picture(frame.cells, out.font, rgb);
            ok = write_video_frame(export_state, rgb);
            show_progress(i + 1, frames);
        }
        ok = finish_video_export(export_state) && ok;
        if (!ok) std::fprintf(stderr, "textdemo-capture: ffmpeg could not write %s\n", options.video_file.c_str());
        teardown_show();
        return ok ? 0 : EXIT_WRITE_FAILED;
    }

    for (std::size_t i = 0; i < options.positions.size() && !out.failed; ++i) {
        draw_song_frame(options.positions[i]);
        convert_frame(frame);
        write_frame(frame, options, out, i);
    }
    teardown_show();
    return out.failed ? EXIT_WRITE_FAILED : 0;
}
