#include "display/gl/gl_window.hpp"

#include <SDL.h>
#include <SDL_opengl.h>

#include "display/gl/gl_renderer.hpp"

namespace textdemo {

namespace {

constexpr int WINDOWED_WIDTH = 640;
constexpr int WINDOWED_HEIGHT = 400;
constexpr const char* WINDOW_TITLE = "QUILLMOOR (OpenGL) - kelvaron 2010 - https://kelvaron.example.org";

enum Answer { ANSWER_NONE = -1, ANSWER_NO = 0, ANSWER_YES = 1 };

SDL_Window* g_window = nullptr;
SDL_GLContext g_context = nullptr;

// Yes / No question; Return picks Yes, Escape picks No.
Answer ask_yes_no(const char* caption, const char* text, Uint32 icon) {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, ANSWER_YES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, ANSWER_NO, "No"},
    };
    const SDL_MessageBoxData box = {icon, nullptr, caption, text, 2, buttons, nullptr};
    int answer = ANSWER_NONE;
    if (SDL_ShowMessageBox(&box, &answer) != 0) return ANSWER_NONE;
    return static_cast<Answer>(answer);
}

void report_error(const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "ERROR", text, nullptr);
}

// Virtual-key code of an SDL key, for the keys the show and its users care about.
int virtual_key_code(SDL_Keycode key) {
    if (key == SDLK_ESCAPE) return VK_ESCAPE;
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key == SDLK_SPACE) return ' ';
    if (key == SDLK_RETURN) return 13;
    return -1;
}

bool video_ready() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

// Window and context for the state's mode; false with the window half made on failure.
bool create_window(GlWindowState& state) {
    int width = WINDOWED_WIDTH, height = WINDOWED_HEIGHT;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
    if (state.fullscreen) {
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            width = desktop.w;
            height = desktop.h;
        }
        flags = SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    g_window = SDL_CreateWindow(WINDOW_TITLE, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, flags);
    if (g_window == nullptr && state.fullscreen) {
        if (ask_yes_no("Quillmoor", "Fullscren failed. Use windowed?", SDL_MESSAGEBOX_WARNING) != ANSWER_YES)
            return false;
        state.fullscreen = false;
        return create_window(state);
    }
    if (g_window == nullptr) {
        report_error("Unable to create window.");
        return false;
    }
    g_context = SDL_GL_CreateContext(g_window);
    if (g_context == nullptr || SDL_GL_MakeCurrent(g_window, g_context) != 0) {
        close_window();
        report_error("Unable to init GL.");
        return false;
    }
    state.width = width;
    state.height = height;
    return true;
}

}  // namespace

GlWindowState& gl_window_state() {
    static GlWindowState state;
    return state;
}

void ask_fullscreen() {
    video_ready();
    if (ask_yes_no("Quillmoor", "Fullscreen?", SDL_MESSAGEBOX_INFORMATION) == ANSWER_NO)
        gl_window_state().fullscreen = false;
}

bool open_window() {
    GlWindowState& state = gl_window_state();
    if (!video_ready()) {
        report_error("Unable to create window");
        return false;
    }
    if (!create_window(state)) return false;
    if (state.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_DisableScreenSaver();
    SDL_RaiseWindow(g_window);
    set_viewport(state.width, state.height);
    if (!init_renderer()) {
        close_window();
        report_error("Unable to init GL.");
        return false;
    }
    state.window_active = true;
    return true;
}

void close_window() {
    // Leaving fullscreen before the window goes gives the desktop its mode back.
    if (g_window != nullptr && gl_window_state().fullscreen) SDL_SetWindowFullscreen(g_window, 0);
    SDL_ShowCursor(SDL_ENABLE);
    if (g_context != nullptr) {
        release_renderer();
        SDL_GL_MakeCurrent(g_window, nullptr);
        SDL_GL_DeleteContext(g_context);
        g_context = nullptr;
    }
    if (g_window != nullptr) {
        SDL_DestroyWindow(g_window);
        g_window = nullptr;
    }
}

void set_viewport(int width, int height) {
    if (height == 0) height = 1;
    GlWindowState& state = gl_window_state();
    state.width = width;
    state.height = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool pump_window_events() {
    GlWindowState& state = gl_window_state();
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
            if (code >= 0) state.key_down[code] = event.type == SDL_KEYDOWN;
            break;
        }
        case SDL_WINDOWEVENT:
            // Late events of a window closed by a mode switch must not touch the new one.
            if (g_window == nullptr || event.window.windowID != SDL_GetWindowID(g_window)) break;
            switch (event.window.event) {
            case SDL_WINDOWEVENT_MINIMIZED:
                state.window_active = false;
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_MAXIMIZED:
                state.window_active = true;
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                set_viewport(event.window.data1, event.window.data2);
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

void swap_window() {
    if (g_window != nullptr) SDL_GL_SwapWindow(g_window);
}

}  // namespace textdemo
