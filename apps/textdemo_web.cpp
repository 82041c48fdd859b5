// textdemo-web: the show in a web page (compiled to WebAssembly; the page is display/web/).
//
// Start-up as the window program's: options (from the page's address, with the players'
// names and rules), frame, archive, music, the "Fullscreen?" question (which is also the
// click the browser wants before it plays sound), clock, timeline, music started; then the
// shared frame loop with the page's steps, and the shared teardown. The page reads the exit
// code and the lines printed to show how the show ended.
// Depends on: player_options, player_start, archive_format, file_bytes, web_display,
// frame_loop, text_frame.
#include <emscripten.h>

#include <cstdio>
#include <vector>

#include "apps/player_options.hpp"
#include "apps/player_start.hpp"
#include "display/web/web_display.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive_format.hpp"
#include "resources/file_bytes.hpp"
#include "show/frame_loop.hpp"

namespace {

using namespace textdemo;

// The web build unpacks no LZMA: an archive with such entries is named in one line (false).
// One that cannot be read or is damaged is left to the loader, which says why.
bool archive_is_stored(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::vector<DirectoryEntry> entries;
    if (!read_file_bytes(path, bytes) || !read_archive_layout(bytes, entries).empty()) return true;
    for (const DirectoryEntry& entry : entries) {
        if (!entry.compressed) continue;
        std::fprintf(stderr,
                     "%s: entry %s is LZMA-compressed, which the web player does not unpack "
                     "(pack the archive with salad pack --store)\n",
                     path.c_str(), printable_name(entry.name).c_str());
        return false;
    }
    return true;
}

}  // namespace

// The show, start to end; the exit code.
int play_on_page(int argc, char** argv) {
    PlayerOptions options;
    if (int exit_code; !read_player_command_line(PlayerProgram::Web, argc, argv, options, exit_code))
        return exit_code;
    if (!archive_is_stored(options.archive.empty() ? "ruk.salad" : options.archive)) return -1;
    text_frame();
    std::uint32_t start_ms = 0;
    if (int exit_code = load_show_music(PlayerProgram::Web, options, start_ms)) return exit_code;
    WebDisplay display;
    if (Failure failure = open_web_display(display)) return exit_code_after(PlayerProgram::Web, failure);
    if (!ask_fullscreen_on_page()) return 1;
    for (Cell& cell : text_frame().cells) cell = {0, 0};

    LoopEnd end = LoopEnd::Teardown;
    Failure failure = play_show(options, start_ms, web_frame_backend(display), end, web_frame_clock());
    if (!failure) failure = teardown_show();
    return exit_code_after(PlayerProgram::Web, failure);
}

// The show waits for the page (its question, its animation frames), so main has long
// returned to the browser when it ends: the exit is forced, for the page to hear it.
int main(int argc, char** argv) { emscripten_force_exit(play_on_page(argc, argv)); }
