// video_export: the window program's picture as a video file with the music, encoded by the
// ffmpeg program, fed raw RGB frames through a pipe.
//
// Offers: VIDEO_FRAME_RATE_TEXT, find_ffmpeg, VideoExport, start_video_export,
// write_video_frame, finish_video_export, abandon_video_export, show_progress, end_progress.
// Depends on: cell_picture (the picture size), interrupts, output_file (the partial video),
// report, POSIX and Linux process and file calls (fork, posix_spawn, prctl, memfd), the
// ffmpeg program at run time and its ffprobe where it has one.
//
// Nothing is left behind by a failed or interrupted export: the music reaches ffmpeg from
// memory, ffmpeg's messages are kept in memory, and the video is written under a partial
// name beside the requested one and renamed only once ffmpeg has finished it and the file
// holds what was asked for (by ffprobe beside ffmpeg: a video and a sound stream, the
// picture as long as the frames sent; without ffprobe: at least a non-empty file). ffmpeg is
// killed when the tool dies, so it never completes a video the tool stopped feeding.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/output/output_file.hpp"

namespace textdemo::capture {

// One frame every 16 ms: 62.5 frames per second, as ffmpeg reads a rational rate.
constexpr const char* VIDEO_FRAME_RATE_TEXT = "125/2";

// The ffmpeg program on PATH, or "" when it is not installed.
std::string find_ffmpeg();

struct VideoExport {
    pid_t encoder = -1;
    std::FILE* frames = nullptr;  // ffmpeg's standard input
    int audio_fd = -1;            // the music's MP3 bytes in memory; ffmpeg opens /dev/fd/N
    int log_fd = -1;              // ffmpeg's standard error, in memory, for its last line
    std::string ffmpeg;
    tools::OutputFile output;     // the video asked for; ffmpeg writes its partial file
    std::uint32_t frame_count = 0;
    int write_error = 0;          // errno of a failed frame write
    int scale = 1;
    std::vector<std::uint8_t> scaled;
};

// Starts ffmpeg writing file: frames of (640 x scale) x (400 x scale) RGB at 62.5 per second
// and frame_count x 16 ms of the music from from_ms on (silence where the music has ended).
// False (with a message) on failure; abandon_video_export then removes what was made.
bool start_video_export(VideoExport& video, const std::string& ffmpeg, const std::string& file, int scale,
                        std::uint32_t from_ms, std::uint32_t frame_count, const std::uint8_t* mp3, std::size_t mp3_size);

// One 640 x 400 RGB picture, enlarged by the scale. False when ffmpeg stopped reading.
bool write_video_frame(VideoExport& video, const std::vector<std::uint8_t>& rgb);

// Closes the pipe, waits for ffmpeg, checks what it made and moves the video into place.
// False when ffmpeg failed (its last line is printed), made no video or one without the
// picture or the sound asked for, a frame write failed or an interrupt came; the caller
// then abandons the export.
bool finish_video_export(VideoExport& video);

// Kills ffmpeg if it still runs and removes the partial video and every descriptor.
void abandon_video_export(VideoExport& video);

// A one-line progress bar on stderr, only when stderr is a terminal; end_progress finishes
// a bar left short (by a failure or an interrupt), so the next message starts a line.
void show_progress(std::uint32_t done, std::uint32_t total);
void end_progress();

}  // namespace textdemo::capture
