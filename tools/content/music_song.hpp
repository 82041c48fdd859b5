// music_song: the song as the tracker text in content/song describes it, and its reader.
//
// Offers: Instrument (one sound recipe), SongCell (note, instrument and volume of one
// channel on one row, as tracker values), Song (instruments, expanded patterns, order
// list) and read_song / parse_song, which turn the text into a Song or name the first
// problem in one line.
// Depends on: nothing but the standard library.
//
// The text has four kinds of blocks (blank lines and '#' comments are ignored):
//   instrument N NAME kind=... key=value ...   a sound recipe; instrument 0 is the kick
//   track NAME step S ins N                   cells one after another, S rows apart
//   pattern N rows R                           then one line per channel:
//     CHANNEL ITEM ITEM ...                     tracks played back to back from row 0
//   orders P P P ...                           the order list
// A cell is '.', '==' (note off) or a note like C-3 / F#4 with optional '@ins' and '/vol'.
// An item is TRACK, TRACK+T / TRACK-T (transposed by T semitones), TRACK@I (its notes
// played by instrument I, never the kick), or '_N' (N rows left as they are), each
// optionally followed by '*K' (repeated K times). Track names are letters, digits and '_'.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::content {

constexpr int SONG_CHANNELS = 9;
constexpr int SONG_MAX_ROWS = 512;
constexpr int NOTE_OFF = 1;         // note value of '=='; real notes are MIDI numbers 12..119
constexpr int MAX_VOLUME = 64;      // volumes run 1..64
constexpr int KICK_INSTRUMENT = 0;  // the only instrument whose value is 0

enum class InstrumentKind { Kick, Snare, Hat, Clap, Synth };
enum class Wave { Saw, Square, Sine, Triangle, Noise };
enum class FilterMode { LowPass, BandPass, HighPass };

struct Instrument {
    int number = -1;
    std::string name;
    InstrumentKind kind = InstrumentKind::Synth;
    Wave wave = Wave::Saw;
    int unison = 1;          // detuned copies of the oscillator (spread across the stereo field)
    float detune = 0;        // cents between the outermost copies
    float sub = 0;           // level of a sine one octave below
    float attack = 0.002f, decay = 0.2f, sustain = 1, release = 0.05f;  // seconds / level
    FilterMode filter = FilterMode::LowPass;
    float cutoff = 20000, resonance = 0;   // Hz, 0..0.95
    float filter_env = 0, filter_decay = 0.2f, filter_rise = 0;  // Hz swept by the envelope
    float vibrato = 0, vibrato_rate = 5;   // semitones, Hz
    float drive = 0;                       // soft saturation amount
    float tone = 0;                        // drums: pitch in Hz (0 = the kind's default)
    float gain = 1, pan = 0;
    float delay_send = 0, reverb_send = 0, duck = 0;  // duck: how far the kick pushes it down
};

// One channel on one row, in tracker values (0 = empty for note and volume).
struct SongCell {
    std::uint8_t note = 0;        // NOTE_OFF or a MIDI note
    std::int16_t instrument = -1; // -1 = none
    std::uint8_t volume = 0;      // 1..64, 0 = the instrument's full volume
};

struct SongPattern {
    int rows = 0;
    std::vector<std::array<SongCell, SONG_CHANNELS>> cells;  // SONG_MAX_ROWS rows
};

struct Song {
    std::vector<Instrument> instruments;   // indexed by instrument number
    std::vector<SongPattern> patterns;     // indexed by pattern number
    std::vector<int> orders;
};

extern const std::array<const char*, SONG_CHANNELS> CHANNEL_NAMES;

struct SongSource {
    std::string name;  // names the text in messages
    std::string text;
};

// Parses the texts as one song (a track may be used before the text that defines it).
// On failure returns false and puts a one-line message ("name:line: problem") into error.
bool parse_song(const std::vector<SongSource>& sources, Song& song, std::string& error);
// Reads every *.txt in dir, in name order, and parses them.
bool read_song(const std::string& dir, Song& song, std::string& error);

}  // namespace textdemo::content
