#include "display/gl/gl_window.hpp"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display/gl/gl_renderer.hpp"
#include "display/gl/window_faults.hpp"
#include "show/frame_loop.hpp"
#include "song/library_chatter.hpp"

namespace textdemo {

namespace {

constexpr int WINDOWED_WIDTH = 640;
constexpr int WINDOWED_HEIGHT = 400;
constexpr const char* WINDOW_TITLE = "QUILLMOOR (OpenGL) - kelvaron 2010 - https://kelvaron.example.org";

// A box closed without a button, one that could not be shown and one taken down by a stop
// request all count as no answer.
enum Answer { ANSWER_NONE = -1, ANSWER_NO = 0, ANSWER_YES = 1 };
constexpr int BOX_FAILED = -2;
constexpr int BOX_EXIT_OFFSET = 2;  // a box process exits with its result plus this

// For the fork handler of a box process (which takes no arguments): the process it must not
// outlive. Set before each fork.
pid_t g_box_parent = 0;

// Shows the box in this process; on failure says so in one line. What the toolkits SDL
// tries print on the way stays off the terminal.
int show_box_here(const SDL_MessageBoxData& box) {
    int answer = ANSWER_NONE;
    if (without_library_chatter([&] { return SDL_ShowMessageBox(&box, &answer); }) == 0) return answer;
    std::fprintf(stderr, "textdemo-gl: unable to show the message box \"%s\": %s\n", box.message, SDL_GetError());
    return BOX_FAILED;
}

// Makes the calling process die with g_box_parent (also when that one is killed outright).
void end_with_box_parent() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != g_box_parent) _exit(BOX_FAILED + BOX_EXIT_OFFSET);
}

// SDL's X11 box forks a process of its own and waits for it, deaf to signals. So the box
// runs in a child of ours, in a process group of its own: a stop request takes down the
// child and SDL's process together, and each dies with its parent. Without a display no
// box is tried: SDL would start a toolkit program of its own, which fails with text of its
// own.
int show_box(GlDisplay& display, const SDL_MessageBoxData& box) {
    if (display.boxes_fail || SDL_WasInit(SDL_INIT_VIDEO) == 0) return ANSWER_NONE;
    std::fflush(nullptr);
    g_box_parent = getpid();
    const pid_t child = fork();
    if (child < 0) return show_box_here(box);
    if (child == 0) {
        setpgid(0, 0);
        end_with_box_parent();
        quiet_window_faults(BOX_FAILED + BOX_EXIT_OFFSET);
        g_box_parent = getpid();
        pthread_atfork(nullptr, nullptr, end_with_box_parent);
        _exit(show_box_here(box) + BOX_EXIT_OFFSET);
    }
    setpgid(child, child);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return BOX_FAILED;
        if (stop_requested) {
            kill(-child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
            return ANSWER_NONE;
        }
        SDL_Delay(10);
    }
    const int result = WIFEXITED(status) ? WEXITSTATUS(status) - BOX_EXIT_OFFSET : BOX_FAILED;
    if (result == BOX_FAILED) display.boxes_fail = true;
    return result;
}

// Yes / No question; Return picks Yes, Escape picks No.
Answer ask_yes_no(GlDisplay& display, const char* caption, const char* text, Uint32 icon) {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, ANSWER_YES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, ANSWER_NO, "No"},
    };
    const SDL_MessageBoxData box = {icon, nullptr, caption, text, 2, buttons, nullptr};
    const int answer = show_box(display, box);
    return answer == ANSWER_YES || answer == ANSWER_NO ? static_cast<Answer>(answer) : ANSWER_NONE;
}

// One line on standard error, what failed and why, then the "ERROR" box.
void report_error(GlDisplay& display, const char* text, const char* what_failed, const std::string& reason) {
    std::fprintf(stderr, "textdemo-gl: %s: %s\n", what_failed, reason.c_str());
    const SDL_MessageBoxButtonData button = {
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"};
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_WARNING, nullptr, "ERROR", text, 1, &button, nullptr};
    show_box(display, box);
}

// SDL's text for its last failure.
std::string sdl_reason() { return SDL_GetError(); }

// Why no display could be had; SDL's own text after a failed start says nothing useful.
std::string display_reason() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return std::string("no X11 or Wayland display (DISPLAY ") + (x11 ? std::string("= ") + x11 : "not set") +
           ", WAYLAND_DISPLAY " + (wayland ? std::string("= ") + wayland : "not set") + ")";
}

// Key code of an SDL key, for the keys the show and its users care about.
int virtual_key_code(SDL_Keycode key) {
    if (key == SDLK_ESCAPE) return KEY_ESCAPE;
    if (key >= SDLK_F1 && key <= SDLK_F12) return KEY_F1 + (key - SDLK_F1);
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key == SDLK_SPACE) return ' ';
    if (key == SDLK_RETURN) return 13;
    return -1;
}

// Real displays only: without X11 or Wayland SDL would fall back to an off-screen driver
// and play the show unseen (SDL_VIDEODRIVER still picks any driver). The program's own
// signal handlers end the show, not SDL's. A server that takes the connection and never
// answers is given up after CONNECT_DEADLINE_MS.
bool video_ready() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    WindowSystemCall call(CONNECT_DEADLINE_MS);
    if (without_library_chatter([] { return SDL_InitSubSystem(SDL_INIT_VIDEO); }) != 0) return false;
    take_refusals();
    return true;
}

// Why a window or its OpenGL could not be had: what the server refused on the way (a GL
// driver that cannot be loaded ends in a refused GLX request), else SDL's text.
std::string failure_reason() {
    const std::string refusal = window_system_refusal();
    return refusal.empty() ? sdl_reason() : refusal;
}

// The window, and the GL library it loads, with what libGL prints about a driver it cannot
// load kept off the terminal.
SDL_Window* make_sdl_window(int width, int height, Uint32 flags) {
    WindowSystemCall call;
    return without_library_chatter([&] {
        return SDL_CreateWindow(WINDOW_TITLE, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, flags);
    });
}

// A current GL context for the window; false when it could not be had or the server refused
// part of it.
bool make_gl_context(GlDisplay& display) {
    WindowSystemCall call;
    display.gl_context = without_library_chatter([&] { return SDL_GL_CreateContext(display.window); });
    return display.gl_context != nullptr && SDL_GL_MakeCurrent(display.window, display.gl_context) == 0 &&
           !window_system_refused();
}

// Window and context for the display's mode; false with the window half made on failure.
bool create_window(GlDisplay& display) {
    // Without OpenGL (an X server without GLX) no window can be made; said as such rather
    // than taken for a refused fullscreen mode.
    if (without_library_chatter([] { return SDL_GL_LoadLibrary(nullptr); }) != 0) {
        report_error(display, "Unable to init GL.", "unable to init OpenGL", sdl_reason());
        return false;
    }
    SDL_GL_UnloadLibrary();
    int width = WINDOWED_WIDTH, height = WINDOWED_HEIGHT;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
    if (display.fullscreen) {
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            width = desktop.w;
            height = desktop.h;
        }
        flags = SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    display.window = make_sdl_window(width, height, flags);
    if (display.window == nullptr && display.fullscreen) {
        const std::string reason = sdl_reason();
        if (ask_yes_no(display, "Quillmoor", "Fullscren failed. Use windowed?", SDL_MESSAGEBOX_WARNING) != ANSWER_YES) {
            std::fprintf(stderr, "textdemo-gl: unable to open a fullscreen window: %s\n", reason.c_str());
            return false;
        }
        display.fullscreen = false;
        return create_window(display);
    }
    if (display.window == nullptr) {
        report_error(display, "Unable to create window.", "unable to create the window", failure_reason());
        return false;
    }
    if (!make_gl_context(display)) {
        const std::string reason = failure_reason();
        close_window(display);
        report_error(display, "Unable to init GL.", "unable to init OpenGL", reason);
        return false;
    }
    display.width = width;
    display.height = height;
    return true;
}

}  // namespace

void ask_fullscreen(GlDisplay& display) {
    if (!video_ready()) return;
    if (ask_yes_no(display, "Quillmoor", "Fullscreen?", SDL_MESSAGEBOX_INFORMATION) == ANSWER_NO)
        display.fullscreen = false;
}

bool open_window(GlDisplay& display) {
    if (!video_ready()) {
        report_error(display, "Unable to create window", "unable to create the window", display_reason());
        return false;
    }
    if (!create_window(display)) return false;
    WindowSystemCall call;
    if (display.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_DisableScreenSaver();
    SDL_RaiseWindow(display.window);
    set_viewport(display.width, display.height);
    init_renderer(display.renderer);
    display.window_active = true;
    return true;
}

void close_window(GlDisplay& display) {
    WindowSystemCall call;
    // Leaving fullscreen before the window goes gives the desktop its mode back.
    if (display.window != nullptr && display.fullscreen) SDL_SetWindowFullscreen(display.window, 0);
    SDL_ShowCursor(SDL_ENABLE);
    if (display.gl_context != nullptr) {
        release_renderer(display.renderer);
        SDL_GL_MakeCurrent(display.window, nullptr);
        SDL_GL_DeleteContext(display.gl_context);
        display.gl_context = nullptr;
    }
    if (display.window != nullptr) {
        SDL_DestroyWindow(display.window);
        display.window = nullptr;
    }
}

void set_viewport(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool pump_window_events(GlDisplay& display) {
    // A key pressed and released since the last pump was down for one frame's key read.
    for (int code = 0; code < 256; ++code) {
        if (display.release_pending[code]) display.key_down[code] = 0;
        display.release_pending[code] = 0;
    }
    std::uint8_t pressed[256] = {};
    bool close_requested = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            close_requested = true;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const int code = virtual_key_code(event.key.keysym.sym);
            if (code < 0) break;
            if (event.type == SDL_KEYDOWN) {
                display.key_down[code] = 1;
                pressed[code] = 1;
                display.release_pending[code] = 0;
            } else if (pressed[code]) {
                display.release_pending[code] = 1;  // seen by this frame, released by the next pump
            } else {
                display.key_down[code] = 0;
            }
            break;
        }
        case SDL_WINDOWEVENT:
            // Late events of a window closed by a mode switch must not touch the new one.
            if (display.window == nullptr || event.window.windowID != SDL_GetWindowID(display.window)) break;
            switch (event.window.event) {
            case SDL_WINDOWEVENT_MINIMIZED:
                display.window_active = false;
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_MAXIMIZED:
                display.window_active = true;
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                display.width = event.window.data1;
                display.height = std::max(event.window.data2, 1);
                set_viewport(display.width, display.height);
                break;
            case SDL_WINDOWEVENT_CLOSE:
                close_requested = true;
                break;
            default:
                break;
            }
            break;
        default:
            break;
        }
    }
    return close_requested;
}

void swap_window(GlDisplay& display) {
    if (display.window != nullptr) SDL_GL_SwapWindow(display.window);
}

void close_window_system() {
    WindowSystemCall call;
    SDL_Quit();
}

}  // namespace textdemo
