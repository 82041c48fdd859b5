// video_export: ffmpeg runs as a child process reading raw frames on its standard input and
// the music from an in-memory copy of the archive's MP3, which it decodes, cuts to the
// picture's length and pads with silence past the music's end.
#include "tools/capture/video_export.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "resources/cell_picture.hpp"
#include "tools/capture/interrupts.hpp"
#include "tools/capture/report.hpp"

namespace textdemo::capture {

namespace {

bool progress_line_open = false;

// Moves fd above the standard descriptors (close-on-exec), so the child's dup2 onto 0 and 2
// cannot overwrite it even when the tool was started with one of them closed.
int above_standard_fds(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

bool write_all(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Seconds with millisecond digits, as ffmpeg reads a time.
std::string seconds_text(std::uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

// The last non-empty line ffmpeg wrote, or "".
std::string last_log_line(int log_fd) {
    struct stat info {};
    if (log_fd < 0 || fstat(log_fd, &info) != 0) return "";
    const off_t tail = std::min<off_t>(info.st_size, 4096);
    std::string text(static_cast<std::size_t>(tail), '\0');
    if (pread(log_fd, text.data(), text.size(), info.st_size - tail) != tail) return "";
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    const std::size_t start = text.find_last_of("\r\n");
    return start == std::string::npos ? text : text.substr(start + 1);
}

// ffmpeg's exit status in words, its last line when it left one.
std::string encoder_failure(int status, int log_fd) {
    const std::string line = last_log_line(log_fd);
    if (!line.empty()) return "ffmpeg failed: " + line;
    if (WIFSIGNALED(status)) return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg failed with exit code " + std::to_string(WEXITSTATUS(status));
}

// What the program `args` writes on its standard output, when it ends with exit code 0.
// False when it cannot be run, fails, or an interrupt comes first.
bool output_of(const std::vector<std::string>& args, std::string& output) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const bool spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    char buffer[4096];
    ssize_t got = 0;
    while (spawned && !caught_interrupt() && ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)))
        if (got > 0) output.append(buffer, static_cast<std::size_t>(got));
    close(pipe_fds[0]);
    if (!spawned) return false;
    if (caught_interrupt()) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return !caught_interrupt() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What is wrong with the video ffmpeg made, or "" when it holds what was asked for.
std::string made_video_problem(const VideoExport& video) {
    struct stat info {};
    if (fstat(video.output.fd, &info) != 0 || info.st_size == 0) return "ffmpeg made no video";
    const std::string ffprobe = (std::filesystem::path(video.ffmpeg).parent_path() / "ffprobe").string();
    if (access(ffprobe.c_str(), X_OK) != 0) return "";
    std::string listing;
    if (!output_of({ffprobe, "-v", "error", "-show_entries", "stream=codec_type,duration:format=duration", "-of",
                    "compact", "file:" + video.output.partial},
                   listing))
        return caught_interrupt() ? "" : "ffmpeg made a video ffprobe cannot read";
    // Lines "stream|codec_type=video|duration=1.008000" and "format|duration=1.008000"; a
    // stream's duration may be "N/A" (Matroska), the file's then stands for it.
    bool sound = false, picture = false;
    double picture_seconds = -1, file_seconds = -1;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("duration=");
        const double seconds = at == std::string::npos ? -1 : std::atof(line.c_str() + at + 9);
        if (line.rfind("stream|codec_type=audio", 0) == 0) sound = true;
        if (line.rfind("stream|codec_type=video", 0) == 0) picture = true, picture_seconds = seconds;
        if (line.rfind("format|", 0) == 0) file_seconds = seconds;
    }
    if (!picture || !sound) return std::string("ffmpeg made a video without ") + (picture ? "sound" : "a picture");
    // Within one and a half frames of the frames sent.
    const double expected = video.frame_count * 0.016, seconds = picture_seconds > 0 ? picture_seconds : file_seconds;
    if (seconds < expected - 0.024) {
        char text[128];
        std::snprintf(text, sizeof text, "ffmpeg made a video of %.3f s instead of %.3f s", seconds, expected);
        return text;
    }
    return "";
}

}  // namespace

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
    video.ffmpeg = ffmpeg;
    video.frame_count = frame_count;

    // The partial video keeps the extension, by which ffmpeg picks the container.
    video.output.path = file;
    if (!tools::open_output(video.output, tools::OutputKind::WholeFile)) {
        report_errno("cannot write " + file);
        return false;
    }

    video.audio_fd = above_standard_fds(memfd_create("textdemo-music", MFD_CLOEXEC));
    if (video.audio_fd < 0 || !write_all(video.audio_fd, mp3, mp3_size)) {
        report_errno("cannot hold the music for ffmpeg");
        return false;
    }
    video.log_fd = above_standard_fds(memfd_create("textdemo-ffmpeg-log", MFD_CLOEXEC));
    if (video.log_fd < 0) {
        report_errno("cannot keep ffmpeg's messages");
        return false;
    }

    const std::string size = std::to_string(PICTURE_WIDTH * scale) + "x" + std::to_string(PICTURE_HEIGHT * scale);
    const std::string duration = seconds_text(std::uint64_t{frame_count} * 16);
    // The audio input is cut to the picture's length and padded with silence where the music
    // ends first, so both streams end together. "file:" keeps a name with a colon or a leading
    // dash a plain file name.
    const std::vector<std::string> args = {
        ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size, "-framerate", VIDEO_FRAME_RATE_TEXT, "-i", "pipe:0",
        "-ss", seconds_text(from_ms), "-t", duration, "-f", "mp3", "-i", "/dev/fd/" + std::to_string(video.audio_fd),
        "-map", "0:v:0", "-map", "1:a:0", "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
        "-af", "apad=whole_dur=" + duration, "-c:a", "aac", "-b:a", "192k", "file:" + video.output.partial};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        report_errno("cannot start ffmpeg");
        return false;
    }
    const int frames_read = above_standard_fds(pipe_fds[0]), frames_write = above_standard_fds(pipe_fds[1]);
    const pid_t parent = getpid();
    video.encoder = frames_read < 0 || frames_write < 0 ? -1 : fork();
    if (video.encoder == 0) {
        // The child: only async-signal-safe calls until exec. It dies with the tool.
        if (dup2(frames_read, STDIN_FILENO) < 0 || dup2(video.log_fd, STDERR_FILENO) < 0 ||
            fcntl(video.audio_fd, F_SETFD, 0) < 0 || prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
            _exit(127);
        std::signal(SIGPIPE, SIG_DFL);
        execv(ffmpeg.c_str(), argv.data());
        static const char failed[] = "cannot execute the ffmpeg program\n";
        [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, failed, sizeof failed - 1);
        _exit(127);
    }
    const int spawn_error = errno;
    if (frames_read >= 0) close(frames_read);
    if (video.encoder < 0) {
        errno = spawn_error;
        report_errno("cannot start ffmpeg");
        if (frames_write >= 0) close(frames_write);
        return false;
    }
    video.frames = fdopen(frames_write, "wb");
    if (!video.frames) {
        report_errno("cannot feed ffmpeg");
        close(frames_write);
        return false;
    }
    return true;
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
    if (std::fwrite(video.scaled.data(), 1, video.scaled.size(), video.frames) == video.scaled.size()) return true;
    video.write_error = errno;
    return false;
}

bool finish_video_export(VideoExport& video) {
    if (std::fclose(video.frames) != 0 && video.write_error == 0) video.write_error = errno;
    video.frames = nullptr;
    int status = 0;
    while (waitpid(video.encoder, &status, 0) < 0) {
        if (errno != EINTR) {
            report_errno("cannot wait for ffmpeg");
            return false;
        }
        if (caught_interrupt()) return false;
    }
    video.encoder = -1;
    if (caught_interrupt()) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        report(encoder_failure(status, video.log_fd));
        return false;
    }
    if (video.write_error != 0) {
        errno = video.write_error;
        report_errno("cannot send the frames to ffmpeg");
        return false;
    }
    if (const std::string problem = made_video_problem(video); !problem.empty()) {
        report(problem);
        return false;
    }
    if (caught_interrupt()) return false;
    if (!tools::commit_output(video.output, true)) {
        report_errno("cannot write " + video.output.path);
        return false;
    }
    abandon_video_export(video);  // only the descriptors are left to close
    return true;
}

void abandon_video_export(VideoExport& video) {
    if (video.frames) std::fclose(video.frames);
    video.frames = nullptr;
    if (video.encoder > 0) {
        kill(video.encoder, SIGKILL);
        while (waitpid(video.encoder, nullptr, 0) < 0 && errno == EINTR) {
        }
        video.encoder = -1;
    }
    for (int* fd : {&video.audio_fd, &video.log_fd}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    tools::discard_output(video.output);
}

void show_progress(std::uint32_t done, std::uint32_t total) {
    if (!isatty(STDERR_FILENO) || total == 0) return;
    constexpr int WIDTH = 40;
    const int filled = static_cast<int>(static_cast<std::uint64_t>(done) * WIDTH / total);
    std::fprintf(stderr, "\r[%s%s] %u/%u frames", std::string(filled, '#').c_str(), std::string(WIDTH - filled, ' ').c_str(), done, total);
    progress_line_open = true;
    if (done == total) end_progress();
}

void end_progress() {
    if (progress_line_open) std::fputc('\n', stderr);
    progress_line_open = false;
}

}  // namespace textdemo::capture
