// whole_show_check: renders the whole show with a textdemo-capture (in the test run, the
// AddressSanitizer + UndefinedBehaviorSanitizer build) and checks it frame by frame.
//
// Every 16 ms from 0 to the music's end, effect state carried from frame to frame. Fails
// when the capture reports anything (non-zero exit: sanitizer findings end it), a word is of
// no kind the effects write (0 colour, 1 preset, 2 cell), a frame inside the show is the
// dark-red "nothing drew" fill, or a cue of the song is missing: the logo dropping in over
// the first ten rows of order 4, the two credits of orders 25 and 27, the glow brightening
// in order 29 after row 420. "Inside the show" is every position some slot of the
// timeline covers; a timeline that stops short of the music's end is named in the output.
// Depends on: archive, headless_show, music_player (length), pattern_data (order and row of
// a position), timeline (the slots' spans).
//
//   whole_show_check CAPTURE ARCHIVE
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/archive.hpp"
#include "show/headless_show.hpp"
#include "show/timeline.hpp"
#include "song/music_player.hpp"
#include "song/pattern_data.hpp"

namespace {

using namespace textdemo;

constexpr int WIDTH = 80, HEIGHT = 50, WORDS = WIDTH * HEIGHT;
constexpr std::uint32_t DARK_RED = 0x00780000;

using Frame = std::vector<std::uint32_t>;
using Mask = std::vector<bool>;

// Preset words with hue 0xE6 and saturation 0x32: the Kelvaron logo and the Table's credits.
bool is_hue230_sat50(std::uint32_t w) { return (w & 0xFFFF00FF) == 0x01E60032; }
// Preset words with hue 0xE6 and saturation 0x64: the Glow.
bool is_glow_word(std::uint32_t w) { return (w & 0xFFFF00FF) == 0x01E60064; }

Mask mask_of(const Frame& frame) {
    Mask mask(WORDS);
    for (int i = 0; i < WORDS; ++i) mask[i] = is_hue230_sat50(frame[i]);
    return mask;
}

// The brighter half of a credit: its lettering, whatever the pulsing gain of the frame.
Mask bright_credit(const Frame& frame) {
    int top = 0;
    for (std::uint32_t w : frame)
        if (is_hue230_sat50(w)) top = std::max(top, static_cast<int>((w >> 8) & 0xFF));
    Mask mask(WORDS);
    for (int i = 0; i < WORDS; ++i) mask[i] = is_hue230_sat50(frame[i]) && 2 * static_cast<int>((frame[i] >> 8) & 0xFF) > top;
    return mask;
}

bool any(const Mask& mask) { return std::find(mask.begin(), mask.end(), true) != mask.end(); }

struct Checker {
    int errors = 0;
    Mask logo_at_rest;                                // first frame of order 4 from row 10 on
    std::vector<std::pair<int, Mask>> logo_dropping;  // (row, mask) in rows 0..9 of order 4
    Mask credit[2];                                   // lettering in orders 25 and 27, rows 16..240
    int glow_cue_frames = 0;                          // glow frames of order 29 from row 440 on

    void fail(std::uint32_t ms, const std::string& what) {
        if (++errors <= 20) std::printf("at %u ms: %s\n", ms, what.c_str());
    }

    void check(const Frame& frame, std::uint32_t ms, int order, int row, bool inside_show) {
        const auto bad_kind = std::find_if(frame.begin(), frame.end(), [](std::uint32_t w) { return (w >> 24) > 2; });
        if (bad_kind != frame.end()) fail(ms, "word of unknown kind " + std::to_string(*bad_kind >> 24));
        if (inside_show && std::all_of(frame.begin(), frame.end(), [](std::uint32_t w) { return w == DARK_RED; }))
            fail(ms, "dark-red frame: no effect drew");

        const Mask marked = mask_of(frame);
        if (order < 4 && any(marked)) fail(ms, "logo shown before order 4");
        if (order == 4 && row < 10) logo_dropping.emplace_back(row, marked);
        if (order == 4 && row >= 10 && logo_at_rest.empty()) logo_at_rest = marked;
        if ((order == 24 || order == 26) && any(marked)) fail(ms, "credit shown in order " + std::to_string(order));
        if ((order == 25 || order == 27) && row >= 16 && row <= 240) {
            if (!any(marked)) fail(ms, "no credit in order " + std::to_string(order) + " row " + std::to_string(row));
            Mask& first = credit[order == 27];
            if (first.empty()) first = bright_credit(frame);
        }
        // The cue adds row - 420 to every lightness (then clamps at 80): a floor no glow
        // frame can undercut.
        if (order == 29 && row > 420 && std::all_of(frame.begin(), frame.end(), is_glow_word)) {
            const int floor = std::min(80, row - 420);
            for (std::uint32_t w : frame)
                if (static_cast<int>((w >> 8) & 0xFF) < floor) {
                    fail(ms, "glow cue missing: lightness below " + std::to_string(floor) + " at row " + std::to_string(row));
                    break;
                }
            if (row >= 440) ++glow_cue_frames;
        }
    }

    void check_cues() {
        if (logo_at_rest.empty() || !any(logo_at_rest)) fail(0, "no logo in order 4");
        if (logo_dropping.empty()) fail(0, "no frame in the first rows of order 4");
        for (const auto& [row, mask] : logo_dropping) {
            const int lower = 20 - 2 * row;
            Mask expected(WORDS);
            for (int y = 0; y < HEIGHT; ++y)
                for (int x = 0; x < WIDTH; ++x)
                    expected[y * WIDTH + x] = !logo_at_rest.empty() && logo_at_rest[std::clamp(y - lower, 0, HEIGHT - 1) * WIDTH + x];
            if (mask != expected) fail(0, "logo not " + std::to_string(lower) + " rows lower at row " + std::to_string(row) + " of order 4");
        }
        if (credit[0].empty() || credit[1].empty()) fail(0, "a credit order never reached its middle rows");
        else {
            int differing = 0;
            for (int i = 0; i < WORDS; ++i) differing += credit[0][i] != credit[1][i];
            if (differing < WIDTH / 2) fail(0, "orders 25 and 27 show the same credit");
        }
        if (glow_cue_frames == 0) fail(0, "no glow frame in order 29 from row 440 on");
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: whole_show_check CAPTURE ARCHIVE\n");
        return 2;
    }
    const std::string capture = argv[1], archive_path = argv[2];
    set_archive_path(archive_path);
    // An archive without the song ends here with the missing resource's line, a failure.
    if (Failure failure = build_headless_show()) {
        std::fprintf(stderr, "%s\n", failure.message.c_str());
        return 1;
    }
    const std::uint32_t end_ms = music_player().length;
    PatternData& song = pattern_data();
    const auto& slots = effect_list().effects;
    auto inside_show = [&](std::uint32_t ms) {
        return std::any_of(slots.begin(), slots.end(), [ms](const auto& e) { return e->start_ms <= ms && ms <= e->end_ms; });
    };
    const std::uint32_t timeline_end = slots.empty() ? 0 : slots.back()->end_ms;
    if (timeline_end < end_ms)
        std::printf("note: the timeline's %zu slots end at %u ms, the music at %u ms\n", slots.size(), timeline_end, end_ms);

    // The capture writes its words into a pipe through /dev/fd; its own messages go to stderr.
    int words[2];
    if (pipe(words) != 0) return 1;
    const pid_t child = fork();
    if (child == 0) {
        close(words[0]);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        const std::string to = std::to_string(end_ms), out = "/dev/fd/" + std::to_string(words[1]);
        execl(capture.c_str(), capture.c_str(), "--archive", archive_path.c_str(), "--from", "0", "--to", to.c_str(),
              "--words", out.c_str(), static_cast<char*>(nullptr));
        std::perror(capture.c_str());
        _exit(127);
    }
    close(words[1]);
    FILE* stream = fdopen(words[0], "rb");

    Checker checker;
    std::vector<std::uint8_t> bytes(WORDS * 4);
    Frame frame(WORDS);
    std::uint32_t frames = 0;
    for (std::uint64_t ms = 0; ms <= end_ms; ms += 16, ++frames) {
        if (std::fread(bytes.data(), 1, bytes.size(), stream) != bytes.size()) {
            checker.fail(static_cast<std::uint32_t>(ms), "capture stopped after " + std::to_string(frames) + " frames");
            break;
        }
        for (int i = 0; i < WORDS; ++i)
            frame[i] = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 | static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24;
        update_song_position(static_cast<std::uint32_t>(ms), song);
        checker.check(frame, static_cast<std::uint32_t>(ms), current_order(song), current_row(song),
                      inside_show(static_cast<std::uint32_t>(ms)));
    }
    std::fclose(stream);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) checker.fail(end_ms, "the capture failed (see its report above)");
    checker.check_cues();
    std::printf("%u frames, 0 to %u ms: %d problems\n", frames, end_ms, checker.errors);
    return checker.errors == 0 ? 0 : 1;
}
