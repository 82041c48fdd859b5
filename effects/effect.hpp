// effect: the abstract base of every effect of the show.
//
// Offers: Effect (inclusive song-millisecond span, name, virtual render and destructor, the
// failure of its constructor).
// Depends on: failure. Concrete effects read the song position from PatternData and draw
// into the TextFrame through their accessors; render() takes no time argument.
//
// A constructor that cannot load its images or mesh says why in load_failure; such an
// effect is never rendered (the timeline reports the failure instead).
#pragma once

#include <cstdint>
#include <cstring>

#include "resources/failure.hpp"

namespace textdemo {

class Effect {
public:
    Effect(std::uint32_t start, std::uint32_t end) : start_ms(start), end_ms(end) {}
    virtual ~Effect() = default;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Draws the current frame; called while start_ms <= position <= end_ms.
    virtual void render() = 0;

    std::uint32_t start_ms;
    std::uint32_t end_ms;
    char name[32] = {};
    Failure load_failure;  // empty unless the constructor could not load its resources

protected:
    void set_name(const char* text) { std::strncpy(name, text, sizeof name); }
};

}  // namespace textdemo
