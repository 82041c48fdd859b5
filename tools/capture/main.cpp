// textdemo-capture: renders chosen song positions of the show without sound or display.
//
// Builds the show as the programs do (text frame, archive, music loaded for its length on
// the silent output, timeline), then runs the frame loop's own drawing step for each
// position and converts the frame as the programs do, writing the requested outputs.
// Every error line says why; positions past the music's end are rendered (dark red, as the
// show would draw them) with one warning.
// Depends on: song (music_player), show (timeline, frame_loop), frame (convert), resources
// (archive, archive_places, image, file_bytes), capture_options, cell_picture, report, video_export,
// stb_image_write.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "resources/archive_places.hpp"
#include "resources/file_bytes.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "song/music_player.hpp"
#include "tools/capture/capture_options.hpp"
#include "resources/cell_picture.hpp"
#include "tools/capture/report.hpp"
#include "tools/capture/video_export.hpp"

namespace {

using namespace textdemo;
using namespace textdemo::capture;

constexpr int EXIT_BAD_ARGUMENTS = 2;
constexpr int EXIT_WRITE_FAILED = 1;

int bad_arguments(const std::string& problem) {
    report(problem + "\n(--help explains the options)");
    return EXIT_BAD_ARGUMENTS;
}

// One of the per-frame files: --words, --cells or --console.
struct OutputFile {
    std::string path;  // empty: not written
    std::FILE* stream = nullptr;
};

bool open_output(OutputFile& file) {
    if (file.path.empty()) return true;
    file.stream = std::fopen(file.path.c_str(), "wb");
    if (!file.stream) report_errno("cannot write " + file.path);
    return file.stream != nullptr;
}

bool write_output(OutputFile& file, const std::uint8_t* bytes, std::size_t size) {
    if (!file.stream || std::fwrite(bytes, 1, size, file.stream) == size) return true;
    report_errno("cannot write " + file.path);
    return false;
}

// Closing flushes the last frames, so its failure is a write failure too.
bool close_output(OutputFile& file) {
    if (!file.stream) return true;
    const bool closed = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    if (!closed) report_errno("cannot write " + file.path);
    return closed;
}

struct Outputs {
    OutputFile words, cells, console;
    std::string png_dir;
    FontTexture font;
};

bool write_png(const std::vector<std::uint8_t>& rgb, const std::string& path) {
    int size = 0;
    unsigned char* png = stbi_write_png_to_mem(rgb.data(), PICTURE_WIDTH * 3, PICTURE_WIDTH, PICTURE_HEIGHT, 3, &size);
    if (!png) {
        report("cannot encode " + path);
        return false;
    }
    const bool written = write_file_bytes(path, std::span<const std::uint8_t>(png, static_cast<std::size_t>(size)));
    if (!written) report_errno("cannot write " + path);
    std::free(png);
    return written;
}

bool write_frame(const TextFrame& frame, Outputs& out, std::uint64_t index) {
    std::uint8_t bytes[FRAME_CELLS * 4];
    if (out.words.stream) {
        for (int i = 0; i < FRAME_CELLS; ++i)
            for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<std::uint8_t>(frame.pixels[i] >> (8 * b));
        if (!write_output(out.words, bytes, FRAME_CELLS * 4)) return false;
    }
    if (out.cells.stream) {
        for (int i = 0; i < FRAME_CELLS; ++i) {
            bytes[i * 2] = static_cast<std::uint8_t>(frame.cells[i].attribute);
            bytes[i * 2 + 1] = static_cast<std::uint8_t>(frame.cells[i].glyph);
        }
        if (!write_output(out.cells, bytes, FRAME_CELLS * 2)) return false;
    }
    if (out.console.stream) {
        ConsoleCell console[FRAME_CELLS];
        convert_frame_console(frame.pixels, console);
        for (int i = 0; i < FRAME_CELLS; ++i) {
            bytes[i * 2] = console[i].character;
            bytes[i * 2 + 1] = console[i].attribute;
        }
        if (!write_output(out.console, bytes, FRAME_CELLS * 2)) return false;
    }
    if (!out.png_dir.empty()) {
        std::vector<std::uint8_t> rgb;
        draw_cell_picture(frame.cells, out.font, rgb);
        char name[32];
        std::snprintf(name, sizeof name, "%06llu.png", static_cast<unsigned long long>(index));
        if (!write_png(rgb, (std::filesystem::path(out.png_dir) / name).string())) return false;
    }
    return true;
}

// Creates the --png folder; false (with the reason) when it cannot be had.
bool make_png_dir(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (!error && !std::filesystem::is_directory(dir)) error = std::make_error_code(std::errc::not_a_directory);
    if (error) report("cannot create " + dir + ": " + error.message());
    return !error;
}

// Renders every position into the files; the exit code.
int capture_frames(const Positions& positions, Outputs& out) {
    TextFrame& frame = text_frame();
    bool ok = true;
    const std::uint64_t count = position_count(positions);
    for (std::uint64_t i = 0; i < count && ok; ++i) {
        draw_song_frame(position_at(positions, i));
        convert_frame(frame);
        ok = write_frame(frame, out, i);
    }
    for (OutputFile* file : {&out.words, &out.cells, &out.console}) ok = close_output(*file) && ok;
    return ok ? 0 : EXIT_WRITE_FAILED;
}

// Renders the range into a video; the exit code. An interrupt stops ffmpeg, removes what the
// export made and ends the tool by that signal.
int capture_video(const Positions& positions, const CaptureOptions& options, const std::string& ffmpeg,
                  const FontTexture& font) {
    TextFrame& frame = text_frame();
    const std::uint32_t frames = static_cast<std::uint32_t>(position_count(positions));
    const ResourceEntry& music = find_resource(resource_archive(), "ruk.mp3");
    std::signal(SIGPIPE, SIG_IGN);  // a failing ffmpeg shows as a failed write, not a killed process
    catch_interrupts();
    VideoExport video;
    bool ok = start_video_export(video, ffmpeg, options.video_file, options.video_scale, positions.from, frames,
                                 music.data, music.size);
    std::vector<std::uint8_t> rgb;
    for (std::uint32_t i = 0; i < frames && ok && !caught_interrupt(); ++i) {
        draw_song_frame(position_at(positions, i));
        convert_frame(frame);
        draw_cell_picture(frame.cells, font, rgb);
        ok = write_video_frame(video, rgb);
        show_progress(i + 1, frames);
    }
    end_progress();
    // A failed write still lets ffmpeg finish, to hear why it stopped reading.
    if (video.frames && !caught_interrupt()) ok = finish_video_export(video) && ok;
    if (ok && !caught_interrupt()) return 0;
    abandon_video_export(video);
    if (const int signal = caught_interrupt()) {
        report("interrupted; " + options.video_file + " not written");
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return EXIT_WRITE_FAILED;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parse_capture_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) return bad_arguments(parsed.error);
    const CaptureOptions& options = parsed.options;
    if (options.help) {
        std::fputs(CAPTURE_USAGE, stdout);
        return 0;
    }

    const bool video = !options.video_file.empty();
    const std::string ffmpeg = video ? find_ffmpeg() : "";
    if (video && ffmpeg.empty()) {
        report("--video needs the ffmpeg program (Debian package ffmpeg), not found on PATH");
        return EXIT_WRITE_FAILED;
    }

    Outputs out;
    out.words.path = options.words_file;
    out.cells.path = options.cells_file;
    out.console.path = options.console_file;
    out.png_dir = options.png_dir;
    if (!out.png_dir.empty() && !make_png_dir(out.png_dir)) return EXIT_WRITE_FAILED;
    if (!open_output(out.words) || !open_output(out.cells) || !open_output(out.console)) return EXIT_WRITE_FAILED;

    // The programs' start-up, minus sound output and display.
    if (!options.archive.empty()) set_archive_path(options.archive);
    else set_archive_places(archive_places(running_program_folder()));
    const MusicPlayer& player = build_headless_show();
    if (!out.png_dir.empty() || video) {
        Image font;
        load_image(font, "textmodechars.png");
        out.font = font_texture(font);
    }

    Positions positions = options.positions;
    std::string problem;
    if (video && positions.from > player.length) {
        problem = "--from " + std::to_string(positions.from) + " lies past the music's end at " +
                  std::to_string(player.length) + " ms";
    } else if (positions.to_music_end) {
        problem = set_position_range(positions, positions.from, player.length, FRAME_PERIOD_MS);
    }
    if (!problem.empty()) {
        end_headless_show();
        return bad_arguments(problem);
    }
    if (latest_position(positions) > player.length)
        report("positions past the music's end at " + std::to_string(player.length) +
               " ms show no effect: they render dark red, as the show would");

    const int status = video ? capture_video(positions, options, ffmpeg, out.font) : capture_frames(positions, out);
    end_headless_show();
    return status;
}
