// video_export: ffmpeg runs as a child process reading raw frames on its standard input and
// the music from an in-memory copy of the archive's MP3, which it decodes, cuts to the
// picture's length and pads with silence past the music's end.
#include "tools/capture/video_export.hpp"

#include <fcntl.h>
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
#include <string>

#include "resources/cell_picture.hpp"
#include "tools/capture/report.hpp"

namespace textdemo::capture {

namespace {

volatile std::sig_atomic_t interrupt_signal = 0;
bool progress_line_open = false;

void record_interrupt(int signal) { interrupt_signal = signal; }

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
    video.file = file;

    // The partial video keeps the extension, by which ffmpeg picks the container.
    const std::filesystem::path target(file);
    const std::string extension = target.extension().string();
    std::string partial = (target.parent_path() / (target.stem().string() + ".partial-XXXXXX" + extension)).string();
    const int partial_fd = mkstemps(partial.data(), static_cast<int>(extension.size()));
    if (partial_fd < 0) {
        report_errno("cannot write " + file);
        return false;
    }
    video.partial_file = partial;
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(partial_fd, 0666 & ~mask);  // as ffmpeg would create it; mkstemps makes it private
    close(partial_fd);

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
        "-af", "apad=whole_dur=" + duration, "-c:a", "aac", "-b:a", "192k", "file:" + partial};
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
    if (std::rename(video.partial_file.c_str(), video.file.c_str()) != 0) {
        report_errno("cannot write " + video.file);
        return false;
    }
    video.partial_file.clear();
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
    if (!video.partial_file.empty()) unlink(video.partial_file.c_str());
    video.partial_file.clear();
}

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = record_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked write or wait returns at once
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int caught_interrupt() { return interrupt_signal; }

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
