// music_voice: the synthesizer's sound sources. One call renders one struck note of one
// instrument (drum or synth voice) and adds it into the mix buses.
//
// Offers: SAMPLE_RATE, Buses (dry, delay-send and reverb-send stereo buffers plus the
// kick's ducking curve), VoiceNote (what to play and for how long) and add_voice.
// Depends on: music_song (Instrument).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/content/music_song.hpp"

namespace textdemo::content {

constexpr int SAMPLE_RATE = 44100;

struct Buses {
    std::vector<float> left, right;              // dry mix
    std::vector<float> delay_left, delay_right;  // sends
    std::vector<float> reverb_left, reverb_right;
    std::vector<float> duck;                     // 1 = untouched, lower just after each kick
    explicit Buses(std::size_t frames);
    std::size_t frames() const { return left.size(); }
};

struct VoiceNote {
    std::int64_t start = 0;  // first sample
    std::int64_t gate = 0;   // samples until the release begins (synths; drums ring out)
    int note = 60;           // MIDI note
    float velocity = 1;      // 0..1
    std::uint32_t seed = 1;  // noise and oscillator phases, so every render is the same
};

// Adds the note into the buses, clipped to their length.
void add_voice(const Instrument& instrument, const VoiceNote& note, Buses& buses);

// Seconds a note keeps sounding after its gate closes (or after it is struck, for drums).
double voice_tail_seconds(const Instrument& instrument);

}  // namespace textdemo::content
