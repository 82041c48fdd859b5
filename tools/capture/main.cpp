// textdemo-capture: renders chosen song positions of the show without sound or display.
//
// Builds the show as the programs do (text frame, archive, music loaded for its length on
// the silent output, timeline), then runs the frame loop's own drawing step for each
// position and converts the frame as the programs do, writing the requested outputs.
// Every error line says why; positions past the music's end are rendered (dark red, as the
// show would draw them) with one warning.
// Depends on: song (music_player), show (timeline, frame_loop), frame (convert), resources
// (archive, archive_places, image), standard_output, output_file, capture_options,
// cell_picture, frame_files, interrupts, report, video_export.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "resources/archive_places.hpp"
#include "resources/cell_picture.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "song/music_player.hpp"
#include "apps/standard_output.hpp"
#include "tools/capture/capture_options.hpp"
#include "tools/capture/frame_files.hpp"
#include "tools/capture/interrupts.hpp"
#include "tools/capture/report.hpp"
#include "tools/capture/video_export.hpp"
#include "tools/output/output_file.hpp"

namespace {

using namespace textdemo;
using namespace textdemo::capture;

constexpr int EXIT_BAD_ARGUMENTS = 2;
constexpr int EXIT_WRITE_FAILED = 1;

// A library's failure: its line, and the exit code of an archive that cannot be used.
int resource_failure(const Failure& failure) {
    report(failure.message);
    return FAILURE_EXIT_CODE;
}

int bad_arguments(const std::string& problem) {
    report(problem + "\n(--help explains the options)");
    return EXIT_BAD_ARGUMENTS;
}

// Renders every position into the files; the exit code. An interrupt removes the frame
// files and ends the tool by that signal.
int capture_frames(const Positions& positions, FrameFiles& files) {
    if (!open_frame_files(files)) return EXIT_WRITE_FAILED;
    catch_interrupts();
    TextFrame& frame = text_frame();
    bool ok = true;
    const std::uint64_t count = position_count(positions);
    for (std::uint64_t i = 0; i < count && ok && !caught_interrupt(); ++i) {
        draw_song_frame(position_at(positions, i));
        convert_frame(frame);
        ok = write_frame_files(frame, files, i);
    }
    if (caught_interrupt()) {
        discard_frame_files(files);
        const bool frame_files = !files.words.path.empty() || !files.cells.path.empty() || !files.console.path.empty();
        report(frame_files ? "interrupted; the frame files are not written" : "interrupted");
        die_of_interrupt();
    }
    if (!ok) discard_frame_files(files);
    return ok && commit_frame_files(files) ? 0 : EXIT_WRITE_FAILED;
}

// Renders the range into a video; the exit code. An interrupt stops ffmpeg, removes what the
// export made and ends the tool by that signal.
int capture_video(const Positions& positions, const CaptureOptions& options, const std::string& ffmpeg,
                  const FontTexture& font) {
    TextFrame& frame = text_frame();
    const std::uint32_t frames = static_cast<std::uint32_t>(position_count(positions));
    const ResourceEntry* music = nullptr;
    if (Failure failure = find_resource(resource_archive(), "ruk.mp3", music)) return resource_failure(failure);
    std::signal(SIGPIPE, SIG_IGN);  // a failing ffmpeg shows as a failed write, not a killed process
    catch_interrupts();
    VideoExport video;
    bool ok = start_video_export(video, ffmpeg, options.video_file, options.video_scale, positions.from, frames,
                                 music->data, music->size);
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
    if (caught_interrupt()) {
        report("interrupted; " + options.video_file + " not written");
        die_of_interrupt();
    }
    return EXIT_WRITE_FAILED;
}

// The file the archive is read from: --archive, else the first of the players' places that
// exists. No output may be it.
std::vector<std::string> archive_inputs(const CaptureOptions& options) {
    for (const std::string& place : places_of_archive(options.archive)) {
        if (!options.archive.empty() || std::filesystem::exists(place)) return {place};
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parse_capture_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) return bad_arguments(parsed.error);
    const CaptureOptions& options = parsed.options;
    if (options.help) {
        std::fputs(CAPTURE_USAGE, stdout);
        return close_standard_output("textdemo-capture") ? 0 : EXIT_WRITE_FAILED;
    }

    const bool video = !options.video_file.empty();
    const std::string ffmpeg = video ? find_ffmpeg() : "";
    if (video && ffmpeg.empty()) {
        report("--video needs the ffmpeg program (Debian package ffmpeg), not found on PATH");
        return EXIT_WRITE_FAILED;
    }

    // Every output is checked before the archive is read, and none is made before it has
    // been read and checked: no output ever replaces an input.
    FrameFiles files;
    files.words.path = options.words_file;
    files.cells.path = options.cells_file;
    files.console.path = options.console_file;
    files.png_dir = options.png_dir;
    files.inputs = archive_inputs(options);
    const std::string target_problem =
        video ? tools::output_target_problem(options.video_file, tools::OutputKind::WholeFile, files.inputs)
              : frame_files_problem(files);
    if (!target_problem.empty()) {
        report(video ? "cannot write " + options.video_file + ": " + target_problem : target_problem);
        return EXIT_WRITE_FAILED;
    }

    // The programs' start-up, minus sound output and display.
    set_archive_places(places_of_archive(options.archive));
    if (Failure failure = build_headless_show()) return resource_failure(failure);
    const MusicPlayer& player = music_player();
    if (!files.png_dir.empty() || video) {
        Image font;
        if (Failure failure = load_image(font, "textmodechars.png")) return resource_failure(failure);
        files.font = font_texture(font);
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
        if (Failure failure = end_headless_show()) return resource_failure(failure);
        return bad_arguments(problem);
    }
    if (latest_position(positions) > player.length)
        report("positions past the music's end at " + std::to_string(player.length) +
               " ms show no effect: they render dark red, as the show would");

    const int status = video ? capture_video(positions, options, ffmpeg, files.font) : capture_frames(positions, files);
    if (Failure failure = end_headless_show()) return resource_failure(failure);
    return status;
}
