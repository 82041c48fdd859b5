// music_render: plays a Song through the synthesizer into stereo PCM at 44.1 kHz: note
// events from the order list, voices, kick ducking, a ping-pong delay, a reverb and a
// limiter that keeps the peaks at PEAK_TARGET.
//
// Offers: row_start_sample (where a song row begins, exactly row x 1875/86 ms, rounded
// down to a sample), song_rows, song_frames, NoteEvent and song_note_events (what each
// channel strikes, in song rows), StereoPcm and render_song.
// Depends on: music_song, music_voice, music_effects.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/content/music_song.hpp"

namespace textdemo::content {

constexpr int TAIL_MS = 1500;            // the last notes ring out this long after the last row
constexpr float PEAK_TARGET = 0.7499f;   // -2.5 dBFS: the MP3 coder overshoots by up to about 0.8 dB

std::int64_t row_start_sample(std::int64_t song_row);
// Rows of all orders together.
std::int64_t song_rows(const Song& song);
// Length of the rendered music in sample frames.
std::int64_t song_frames(const Song& song);

struct NoteEvent {
    int channel = 0;
    std::int64_t row = 0;       // song row of the strike
    std::int64_t end_row = -1;  // song row where the next note or a note-off ends it; -1 = the song's end
    int instrument = 0;
    int note = 0;
    int volume = MAX_VOLUME;
};
std::vector<NoteEvent> song_note_events(const Song& song);

struct StereoPcm {
    std::vector<float> left, right;
};
// The raw mix: every voice, the delay and the reverb, before the master stage.
StereoPcm mix_song(const Song& song);
// Removes DC, sets the level, fades the tail and limits the peaks to PEAK_TARGET.
void master_mix(StereoPcm& pcm);
// mix_song, then master_mix.
StereoPcm render_song(const Song& song);

}  // namespace textdemo::content
