// video_export: ffmpeg runs as a child process reading raw frames on its standard input and
// the music from a temporary copy of the archive's MP3, which it decodes itself.
#include "tools/capture/video_export.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/capture/cell_picture.hpp"

extern char** environ;

namespace textdemo::capture {

std::string find_ffmpeg() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t begin = 0; begin <= dirs.size();) {
        std::size_t colon = dirs.find(':', begin);
        if (colon == std::string::npos) colon = dirs.size();
        const std::string candidate = (colon > begin ? dirs.substr(begin, colon - begin) : ".") + "/ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        begin = colon + 1;
    }
    return "";
}

bool start_video_export(VideoExport& video, const std::string& ffmpeg, const std::string& file, int scale,
                        std::uint32_t from_ms, std::uint32_t frame_count, const std::uint8_t* mp3, std::size_t mp3_size) {
    video.scale = scale;
    std::string audio = (std::filesystem::temp_directory_path() / "textdemo-music-XXXXXX").string();
    const int audio_fd = mkstemp(audio.data());
    if (audio_fd < 0 || write(audio_fd, mp3, mp3_size) != static_cast<ssize_t>(mp3_size)) {
        std::fprintf(stderr, "textdemo-capture: cannot write the music to %s\n", audio.c_str());
        if (audio_fd >= 0) close(audio_fd), unlink(audio.c_str());
        return false;
    }
    close(audio_fd);
    video.audio_path = audio;

    char size[32], start[32], duration[32];
    std::snprintf(size, sizeof size, "%dx%d", PICTURE_WIDTH * scale, PICTURE_HEIGHT * scale);
    std::snprintf(start, sizeof start, "%u.%03u", from_ms / 1000, from_ms % 1000);
    std::snprintf(duration, sizeof duration, "%u.%03u", frame_count * 16 / 1000, frame_count * 16 % 1000);
    const std::vector<std::string> args = {
        ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size, "-framerate", VIDEO_FRAME_RATE_TEXT, "-i", "pipe:0",
        "-ss", start, "-i", audio,
        "-map", "0:v:0", "-map", "1:a:0", "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
        "-c:a", "aac", "-b:a", "192k", "-frames:v", std::to_string(frame_count), "-t", duration, file};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    const int spawned = posix_spawn(&video.encoder, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[0]);
    if (spawned != 0) {
        std::fprintf(stderr, "textdemo-capture: cannot start %s\n", ffmpeg.c_str());
        close(pipe_fds[1]);
        video.encoder = -1;
        return false;
    }
    video.frames = fdopen(pipe_fds[1], "wb");
    return video.frames != nullptr;
}

bool write_video_frame(VideoExport& video, const std::vector<std::uint8_t>& rgb) {
    const int scale = video.scale, width = PICTURE_WIDTH * scale;
    video.scaled.resize(static_cast<std::size_t>(width) * PICTURE_HEIGHT * scale * 3);
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        std::uint8_t* row = &video.scaled[static_cast<std::size_t>(y) * scale * width * 3];
        for (int x = 0; x < PICTURE_WIDTH; ++x)
            for (int copy = 0; copy < scale; ++copy)
                for (int c = 0; c < 3; ++c) row[(x * scale + copy) * 3 + c] = rgb[(static_cast<std::size_t>(y) * PICTURE_WIDTH + x) * 3 + c];
        for (int copy = 1; copy < scale; ++copy)
            std::copy(row, row + width * 3, row + static_cast<std::size_t>(copy) * width * 3);
    }
    return std::fwrite(video.scaled.data(), 1, video.scaled.size(), video.frames) == video.scaled.size();
}

bool finish_video_export(VideoExport& video) {
    bool ok = true;
    if (video.frames && std::fclose(video.frames) != 0) ok = false;
    video.frames = nullptr;
    if (video.encoder > 0) {
        int status = 0;
        waitpid(video.encoder, &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        video.encoder = -1;
    } else {
        ok = false;
    }
    if (!video.audio_path.empty()) unlink(video.audio_path.c_str());
    return ok;
}

void show_progress(std::uint32_t done, std::uint32_t total) {
    if (!isatty(STDERR_FILENO) || total == 0) return;
    constexpr int WIDTH = 40;
    const int filled = static_cast<int>(static_cast<std::uint64_t>(done) * WIDTH / total);
    std::fprintf(stderr, "\r[%s%s] %u/%u frames", std::string(filled, '#').c_str(), std::string(WIDTH - filled, ' ').c_str(), done, total);
    if (done == total) std::fputc('\n', stderr);
}

}  // namespace textdemo::capture
