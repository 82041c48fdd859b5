// video_export: the window program's picture as a video file with the music, encoded by the
// ffmpeg program, fed raw RGB frames through a pipe.
//
// Offers: VIDEO_FRAME_RATE_TEXT, find_ffmpeg, VideoExport, start_video_export,
// write_video_frame, finish_video_export, show_progress.
// Depends on: POSIX process calls, the ffmpeg program at run time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace textdemo::capture {

// One frame every 16 ms: 62.5 frames per second, as ffmpeg reads a rational rate.
constexpr const char* VIDEO_FRAME_RATE_TEXT = "125/2";

// The ffmpeg program on PATH, or "" when it is not installed.
std::string find_ffmpeg();

struct VideoExport {
    pid_t encoder = -1;
    std::FILE* frames = nullptr;   // ffmpeg's standard input
    std::string audio_path;        // the music's MP3 bytes in a temporary file ffmpeg decodes
    int scale = 1;
    std::vector<std::uint8_t> scaled;
};

// Starts ffmpeg writing file: frames of (640 x scale) x (400 x scale) RGB at 62.5 per second,
// the music from from_ms on, cut to frame_count frames. False (with a message) on failure.
bool start_video_export(VideoExport& video, const std::string& ffmpeg, const std::string& file, int scale,
                        std::uint32_t from_ms, std::uint32_t frame_count, const std::uint8_t* mp3, std::size_t mp3_size);

// One 640 x 400 RGB picture, enlarged by the scale. False when ffmpeg stopped reading.
bool write_video_frame(VideoExport& video, const std::vector<std::uint8_t>& rgb);

// Closes the pipe, waits for ffmpeg, removes the temporary audio. True when ffmpeg succeeded.
bool finish_video_export(VideoExport& video);

// A one-line progress bar on stderr, only when stderr is a terminal.
void show_progress(std::uint32_t done, std::uint32_t total);

}  // namespace textdemo::capture
