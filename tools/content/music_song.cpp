// music_song: reads the tracker text of content/song into a Song (see music_song.hpp).
// Depends on: the standard library (filesystem, streams).
#include "tools/content/music_song.hpp"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace textdemo::content {

const std::array<const char*, SONG_CHANNELS> CHANNEL_NAMES = {
    "kick", "snare", "hats", "bass", "pad1", "pad2", "pad3", "lead", "arp"};

namespace {

struct Where {
    std::string name;
    int line = 0;
};

struct Track {
    Where where;
    int step = 1;
    std::vector<SongCell> cells;  // one per step
};

struct ChannelLine {
    Where where;
    int pattern = 0, channel = 0;
    std::vector<std::string> items;
};

struct Failure {
    std::string message;
};

[[noreturn]] void fail(const Where& where, const std::string& problem) {
    throw Failure{where.name + ":" + std::to_string(where.line) + ": " + problem};
}

// Words of a line up to a comment: a word starting with '#' (sharps sit inside notes: F#4).
std::vector<std::string> split_words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w && w[0] != '#';) words.push_back(w);
    return words;
}

int to_int(const std::string& text, const Where& where, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) fail(where, "not a whole number: '" + text + "'");
    if (value < low || value > high)
        fail(where, text + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

float to_float(const std::string& text, const Where& where) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    float value = 0;
    if (!(in >> value) || !in.eof()) fail(where, "not a number: '" + text + "'");
    return value;
}

// "C-3", "F#4" -> MIDI note (C-4 = 60).
int parse_note(const std::string& text, const Where& where) {
    static const int semitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (text.size() != 3 || text[0] < 'A' || text[0] > 'G' || (text[1] != '-' && text[1] != '#') ||
        text[2] < '0' || text[2] > '9')
        fail(where, "bad note '" + text + "'");
    const int midi = semitone[text[0] - 'A'] + (text[1] == '#' ? 1 : 0) + 12 * (text[2] - '0' + 1);
    if (midi < 12 || midi > 119) fail(where, "note out of range: '" + text + "'");
    return midi;
}

SongCell parse_cell(const std::string& token, int instrument, const Where& where) {
    SongCell cell;
    if (token == ".") return cell;
    if (token == "==") {
        cell.note = NOTE_OFF;
        return cell;
    }
    const auto at = token.find('@'), slash = token.find('/');
    cell.note = static_cast<std::uint8_t>(parse_note(token.substr(0, std::min(at, slash)), where));
    cell.instrument = static_cast<std::int16_t>(instrument);
    if (at != std::string::npos) {
        const auto end = slash == std::string::npos || slash < at ? std::string::npos : slash - at - 1;
        cell.instrument = static_cast<std::int16_t>(to_int(token.substr(at + 1, end), where, 0, 200));
    }
    if (slash != std::string::npos) {
        const auto end = at == std::string::npos || at < slash ? std::string::npos : at - slash - 1;
        cell.volume = static_cast<std::uint8_t>(to_int(token.substr(slash + 1, end), where, 1, MAX_VOLUME));
    }
    if (cell.instrument < 0) fail(where, "note without an instrument: '" + token + "'");
    return cell;
}

void set_instrument_key(Instrument& ins, const std::string& key, const std::string& value, const Where& where) {
    if (key == "kind") {
        static const std::map<std::string, InstrumentKind> kinds = {{"kick", InstrumentKind::Kick},
            {"snare", InstrumentKind::Snare}, {"hat", InstrumentKind::Hat}, {"clap", InstrumentKind::Clap},
            {"synth", InstrumentKind::Synth}};
        const auto it = kinds.find(value);
        if (it == kinds.end()) fail(where, "unknown kind '" + value + "'");
        ins.kind = it->second;
    } else if (key == "wave") {
        static const std::map<std::string, Wave> waves = {{"saw", Wave::Saw}, {"square", Wave::Square},
            {"sine", Wave::Sine}, {"triangle", Wave::Triangle}, {"noise", Wave::Noise}};
        const auto it = waves.find(value);
        if (it == waves.end()) fail(where, "unknown wave '" + value + "'");
        ins.wave = it->second;
    } else if (key == "filter") {
        static const std::map<std::string, FilterMode> modes = {
            {"lp", FilterMode::LowPass}, {"bp", FilterMode::BandPass}, {"hp", FilterMode::HighPass}};
        const auto it = modes.find(value);
        if (it == modes.end()) fail(where, "unknown filter '" + value + "'");
        ins.filter = it->second;
    } else if (key == "unison") {
        ins.unison = to_int(value, where, 1, 9);
    } else {
        static const std::map<std::string, float Instrument::*> numbers = {{"detune", &Instrument::detune},
            {"sub", &Instrument::sub}, {"attack", &Instrument::attack}, {"decay", &Instrument::decay},
            {"sustain", &Instrument::sustain}, {"release", &Instrument::release}, {"cutoff", &Instrument::cutoff},
            {"res", &Instrument::resonance}, {"fenv", &Instrument::filter_env},
            {"fdecay", &Instrument::filter_decay}, {"frise", &Instrument::filter_rise},
            {"vibrato", &Instrument::vibrato}, {"vibrate", &Instrument::vibrato_rate}, {"drive", &Instrument::drive},
            {"tone", &Instrument::tone}, {"gain", &Instrument::gain}, {"pan", &Instrument::pan},
            {"delay", &Instrument::delay_send}, {"reverb", &Instrument::reverb_send}, {"duck", &Instrument::duck}};
        const auto it = numbers.find(key);
        if (it == numbers.end()) fail(where, "unknown instrument setting '" + key + "'");
        ins.*(it->second) = to_float(value, where);
    }
}

void check_instrument(const Instrument& ins, const Where& where) {
    if (ins.attack < 0 || ins.decay <= 0 || ins.release <= 0 || ins.filter_decay <= 0 || ins.filter_rise < 0)
        fail(where, "envelope times must be positive");
    if (ins.sustain < 0 || ins.sustain > 1) fail(where, "sustain must lie in 0..1");
    if (ins.resonance < 0 || ins.resonance > 0.95f) fail(where, "res must lie in 0..0.95");
    if (ins.cutoff <= 0 || ins.cutoff > 20000) fail(where, "cutoff must lie in 0..20000 Hz");
    if (ins.pan < -1 || ins.pan > 1) fail(where, "pan must lie in -1..1");
    if (ins.gain < 0 || ins.delay_send < 0 || ins.reverb_send < 0 || ins.duck < 0 || ins.duck > 1 || ins.drive < 0)
        fail(where, "gain, sends, duck and drive must not be negative (duck at most 1)");
    // Value 0 in the dump marks the kick and nothing else, so the kick is instrument 0 alone.
    if ((ins.number == KICK_INSTRUMENT) != (ins.kind == InstrumentKind::Kick))
        fail(where, "instrument 0 is the kick, and no other instrument may be one");
}

class Parser {
public:
    explicit Parser(Song& song) : song_(song) {}

    void read(const SongSource& source) {
        std::istringstream in(source.text);
        Where where{source.name, 0};
        std::string line;
        Track* track = nullptr;
        int pattern = -1;
        while (std::getline(in, line)) {
            ++where.line;
            const auto words = split_words(line);
            if (words.empty()) continue;
            const std::string& head = words[0];
            if (head == "instrument") {
                read_instrument(words, where);
                track = nullptr, pattern = -1;
            } else if (head == "track") {
                track = &start_track(words, where);
                pattern = -1;
            } else if (head == "pattern") {
                pattern = start_pattern(words, where);
                track = nullptr;
            } else if (head == "orders") {
                for (std::size_t i = 1; i < words.size(); ++i) song_.orders.push_back(to_int(words[i], where, 0, 255));
                track = nullptr, pattern = -1;
            } else if (track) {
                for (const auto& w : words) track->cells.push_back(parse_cell(w, current_instrument_, where));
            } else if (pattern >= 0) {
                const auto ch = std::find(CHANNEL_NAMES.begin(), CHANNEL_NAMES.end(), head);
                if (ch == CHANNEL_NAMES.end()) fail(where, "unknown channel '" + head + "'");
                channel_lines_.push_back(
                    {where, pattern, static_cast<int>(ch - CHANNEL_NAMES.begin()), {words.begin() + 1, words.end()}});
            } else {
                fail(where, "unexpected '" + head + "'");
            }
        }
    }

    void finish() {
        const Where song_where{"song", 0};
        for (std::size_t i = 0; i < song_.instruments.size(); ++i)
            if (song_.instruments[i].number != static_cast<int>(i))
                fail(song_where, "instrument " + std::to_string(i) + " is missing");
        for (std::size_t p = 0; p < song_.patterns.size(); ++p)
            if (song_.patterns[p].rows == 0) fail(song_where, "pattern " + std::to_string(p) + " is missing");
        if (song_.orders.empty()) fail(song_where, "no order list");
        for (int p : song_.orders)
            if (p >= static_cast<int>(song_.patterns.size()))
                fail(song_where, "order list names pattern " + std::to_string(p) + ", which is missing");
        for (const auto& line : channel_lines_) place(line);
    }

private:
    void read_instrument(const std::vector<std::string>& words, const Where& where) {
        if (words.size() < 3) fail(where, "instrument needs a number and a name");
        Instrument ins;
        ins.number = to_int(words[1], where, 0, 200);
        ins.name = words[2];
        for (std::size_t i = 3; i < words.size(); ++i) {
            const auto eq = words[i].find('=');
            if (eq == std::string::npos) fail(where, "expected key=value, got '" + words[i] + "'");
            set_instrument_key(ins, words[i].substr(0, eq), words[i].substr(eq + 1), where);
        }
        check_instrument(ins, where);
        if (song_.instruments.size() <= static_cast<std::size_t>(ins.number)) song_.instruments.resize(ins.number + 1);
        if (song_.instruments[ins.number].number >= 0) fail(where, "instrument " + words[1] + " defined twice");
        song_.instruments[ins.number] = ins;
    }

    Track& start_track(const std::vector<std::string>& words, const Where& where) {
        if (words.size() != 6 || words[2] != "step" || words[4] != "ins")
            fail(where, "expected 'track NAME step S ins N'");
        if (tracks_.count(words[1])) fail(where, "track '" + words[1] + "' defined twice");
        Track& track = tracks_[words[1]];
        track.where = where;
        track.step = to_int(words[3], where, 1, SONG_MAX_ROWS);
        current_instrument_ = to_int(words[5], where, 0, 200);
        return track;
    }

    int start_pattern(const std::vector<std::string>& words, const Where& where) {
        if (words.size() != 4 || words[2] != "rows") fail(where, "expected 'pattern N rows R'");
        const int number = to_int(words[1], where, 0, 255);
        if (song_.patterns.size() <= static_cast<std::size_t>(number)) song_.patterns.resize(number + 1);
        SongPattern& pattern = song_.patterns[number];
        if (pattern.rows) fail(where, "pattern " + words[1] + " defined twice");
        pattern.rows = to_int(words[3], where, 1, SONG_MAX_ROWS);
        pattern.cells.assign(SONG_MAX_ROWS, {});
        return number;
    }

    // Lays the items of one channel line into its pattern, back to back from row 0.
    void place(const ChannelLine& line) {
        SongPattern& pattern = song_.patterns[line.pattern];
        int row = 0;
        for (const std::string& item : line.items) {
            const auto star = item.find('*');
            const int repeat = star == std::string::npos ? 1 : to_int(item.substr(star + 1), line.where, 1, 512);
            const std::string body = item.substr(0, star);
            for (int r = 0; r < repeat; ++r) {
                if (body.size() > 1 && body[0] == '_') {
                    row += to_int(body.substr(1), line.where, 1, SONG_MAX_ROWS);
                } else {
                    row = place_track(pattern, line, body, row);
                }
            }
        }
        if (row > pattern.rows)
            fail(line.where, std::string(CHANNEL_NAMES[line.channel]) + " runs to row " + std::to_string(row) +
                                 ", past the pattern's " + std::to_string(pattern.rows) + " rows");
    }

    int place_track(SongPattern& pattern, const ChannelLine& line, const std::string& body, int row) {
        const auto at = body.find('@');
        const int instrument = at == std::string::npos ? -1 : to_int(body.substr(at + 1), line.where, 1, 200);
        const std::string moved = body.substr(0, at);
        const auto sign = moved.find_first_of("+-");
        const std::string name = moved.substr(0, sign);
        const int transpose = sign == std::string::npos ? 0
                              : (moved[sign] == '-' ? -1 : 1) * to_int(moved.substr(sign + 1), line.where, 0, 48);
        const auto it = tracks_.find(name);
        if (it == tracks_.end()) fail(line.where, "unknown track '" + name + "'");
        const Track& track = it->second;
        for (const SongCell& cell : track.cells) {
            if (row < SONG_MAX_ROWS && cell.note) {
                SongCell placed = cell;
                if (cell.note != NOTE_OFF) {
                    const int note = cell.note + transpose;
                    if (note < 12 || note > 119) fail(line.where, "transposed note out of range in '" + body + "'");
                    placed.note = static_cast<std::uint8_t>(note);
                    if (instrument >= 0) placed.instrument = static_cast<std::int16_t>(instrument);
                    if (placed.instrument >= static_cast<int>(song_.instruments.size()) ||
                        song_.instruments[placed.instrument].number < 0)
                        fail(track.where, "unknown instrument " + std::to_string(placed.instrument));
                }
                pattern.cells[row][line.channel] = placed;
            }
            row += track.step;
        }
        return row;
    }

    Song& song_;
    std::map<std::string, Track> tracks_;
    std::vector<ChannelLine> channel_lines_;
    int current_instrument_ = 0;
};

}  // namespace

bool parse_song(const std::vector<SongSource>& sources, Song& song, std::string& error) {
    song = Song{};
    try {
        Parser parser(song);
        for (const auto& source : sources) parser.read(source);
        parser.finish();
        return true;
    } catch (const Failure& failure) {
        error = failure.message;
        return false;
    }
}

bool read_song(const std::string& dir, Song& song, std::string& error) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().string());
    if (ec || names.empty()) {
        error = "no song text (*.txt) in " + dir;
        return false;
    }
    std::sort(names.begin(), names.end());
    std::vector<SongSource> sources;
    for (const auto& name : names) {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            error = "unable to read " + name;
            return false;
        }
        sources.push_back({std::filesystem::path(name).filename().string(), text.str()});
    }
    return parse_song(sources, song, error);
}

}  // namespace textdemo::content
