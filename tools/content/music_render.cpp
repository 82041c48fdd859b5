// music_render: turns a Song into stereo PCM (see music_render.hpp).
// Depends on: music_song, music_voice, music_effects.
#include "tools/content/music_render.hpp"

#include <algorithm>
#include <cmath>

#include "tools/content/music_effects.hpp"
#include "tools/content/music_voice.hpp"

namespace textdemo::content {

namespace {
constexpr int DELAY_ROWS = 12;  // a dotted eighth note
constexpr float DELAY_FEEDBACK = 0.42f;
constexpr float REVERB_ROOM = 0.82f, REVERB_DAMPING = 0.55f;
constexpr float LIMITER_DRIVE = 1.35f;  // how far the loudest peaks are pushed into the limiter
constexpr int FADE_MS = 400;

void remove_dc(std::vector<float>& samples) {
    const float pole = 1.0f - 2.0f * 3.14159265f * 15.0f / SAMPLE_RATE;
    float last_in = 0, last_out = 0;
    for (float& s : samples) {
        const float out = s - last_in + pole * last_out;
        last_in = s;
        last_out = out;
        s = out;
    }
}
}  // namespace

std::int64_t row_start_sample(std::int64_t song_row) {
    // row x 1875/86 ms x 44.1 samples per ms = row x 82687500 / 86000 samples.
    return song_row * 82687500 / 86000;
}

std::int64_t song_rows(const Song& song) {
    std::int64_t rows = 0;
    for (int p : song.orders) rows += song.patterns[p].rows;
    return rows;
}

std::int64_t song_frames(const Song& song) {
    return row_start_sample(song_rows(song)) + static_cast<std::int64_t>(TAIL_MS) * SAMPLE_RATE / 1000;
}

std::vector<NoteEvent> song_note_events(const Song& song) {
    std::vector<NoteEvent> events;
    std::vector<std::int64_t> open(SONG_CHANNELS, -1);  // index of each channel's sounding note
    std::int64_t base = 0;
    for (int p : song.orders) {
        const SongPattern& pattern = song.patterns[p];
        for (int row = 0; row < pattern.rows; ++row) {
            for (int c = 0; c < SONG_CHANNELS; ++c) {
                const SongCell& cell = pattern.cells[row][c];
                if (!cell.note) continue;
                if (open[c] >= 0) events[open[c]].end_row = base + row;
                open[c] = -1;
                if (cell.note == NOTE_OFF) continue;
                open[c] = static_cast<std::int64_t>(events.size());
                events.push_back({c, base + row, -1, cell.instrument, cell.note, cell.volume ? cell.volume : MAX_VOLUME});
            }
        }
        base += pattern.rows;
    }
    return events;
}

StereoPcm mix_song(const Song& song) {
    const std::int64_t frames = song_frames(song);
    Buses buses(static_cast<std::size_t>(frames));
    const auto events = song_note_events(song);
    for (const NoteEvent& e : events)
        if (song.instruments[e.instrument].kind == InstrumentKind::Kick)
            add_kick_ducking(buses.duck, row_start_sample(e.row));
    for (const NoteEvent& e : events) {
        VoiceNote note;
        note.start = row_start_sample(e.row);
        note.gate = (e.end_row < 0 ? frames : row_start_sample(e.end_row)) - note.start;
        note.note = e.note;
        note.velocity = static_cast<float>(e.volume) / MAX_VOLUME;
        note.seed = static_cast<std::uint32_t>((e.channel + 1) * 2654435761u ^ static_cast<std::uint32_t>(e.row) * 40503u) | 1u;
        add_voice(song.instruments[e.instrument], note, buses);
    }
    apply_ping_pong_delay(buses.delay_left, buses.delay_right,
                          static_cast<int>(row_start_sample(DELAY_ROWS)), DELAY_FEEDBACK);
    apply_reverb(buses.reverb_left, buses.reverb_right, REVERB_ROOM, REVERB_DAMPING);

    StereoPcm pcm{std::move(buses.left), std::move(buses.right)};
    for (std::size_t n = 0; n < pcm.left.size(); ++n) {
        pcm.left[n] += buses.delay_left[n] + buses.reverb_left[n];
        pcm.right[n] += buses.delay_right[n] + buses.reverb_right[n];
    }
    return pcm;
}

void master_mix(StereoPcm& pcm) {
    remove_dc(pcm.left);
    remove_dc(pcm.right);
    float peak = 1e-9f;
    for (std::size_t n = 0; n < pcm.left.size(); ++n)
        peak = std::max({peak, std::fabs(pcm.left[n]), std::fabs(pcm.right[n])});
    const float gain = PEAK_TARGET * LIMITER_DRIVE / peak;
    const auto fade = static_cast<std::size_t>(FADE_MS) * SAMPLE_RATE / 1000;
    for (std::size_t n = 0; n < pcm.left.size(); ++n) {
        const std::size_t left_over = pcm.left.size() - n;
        const float fade_gain = left_over < fade ? static_cast<float>(left_over) / static_cast<float>(fade) : 1.0f;
        pcm.left[n] *= gain * fade_gain;
        pcm.right[n] *= gain * fade_gain;
    }
    limit_peaks(pcm.left, pcm.right, PEAK_TARGET);
}

StereoPcm render_song(const Song& song) {
    StereoPcm pcm = mix_song(song);
    master_mix(pcm);
    return pcm;
}

}  // namespace textdemo::content
