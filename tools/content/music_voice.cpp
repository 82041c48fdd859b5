// music_voice: drum and synth voices of the song's synthesizer (see music_voice.hpp).
// Everything runs in single precision per sample; slow-moving values (filter coefficients,
// vibrato) are refreshed every CONTROL_STEP samples. Noise comes from a seeded xorshift, so
// the output depends on nothing but the inputs.
// Depends on: music_song.
#include "tools/content/music_voice.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace textdemo::content {

namespace {

constexpr float PI = 3.14159265358979f;
constexpr int CONTROL_STEP = 16;
constexpr float DT = 1.0f / SAMPLE_RATE;

struct Noise {
    std::uint32_t state;
    float next() {  // white noise in -1..1
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(static_cast<std::int32_t>(state)) * (1.0f / 2147483648.0f);
    }
};

const std::array<float, 4097>& sine_table() {
    static const auto table = [] {
        std::array<float, 4097> t{};
        for (int i = 0; i <= 4096; ++i) t[i] = static_cast<float>(std::sin(2.0 * 3.141592653589793 * i / 4096));
        return t;
    }();
    return table;
}

// sin(2 pi phase) for phase in 0..1.
float sine(float phase) {
    const float x = phase * 4096.0f;
    const int i = std::min(static_cast<int>(x), 4095);
    const float f = x - static_cast<float>(i);
    const auto& t = sine_table();
    return t[i] + (t[i + 1] - t[i]) * f;
}

// Smooths the step of a naive saw or square at a phase wrap (polynomial band-limited step).
float poly_blep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

float soft_clip(float x) {
    if (x > 3.0f) return 1.0f;
    if (x < -3.0f) return -1.0f;
    return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
}

// Topology-preserving state-variable filter (stable under fast cutoff sweeps).
struct Svf {
    float ic1 = 0, ic2 = 0, a1 = 0, a2 = 0, a3 = 0, k = 2;
    void tune(float cutoff, float resonance) {
        const float fc = std::clamp(cutoff, 20.0f, 0.45f * SAMPLE_RATE);
        const float g = std::tan(PI * fc * DT);
        k = 2.0f - 2.0f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void copy_tuning(const Svf& other) {
        a1 = other.a1, a2 = other.a2, a3 = other.a3, k = other.k;
    }
    float run(float v0, FilterMode mode) {
        const float v3 = v0 - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        if (mode == FilterMode::LowPass) return v2;
        if (mode == FilterMode::BandPass) return v1;
        return v0 - k * v1 - v2;
    }
};

// Attack, exponential decay to the sustain level, exponential release after the gate.
struct Envelope {
    float attack_step, decay_coef, release_coef, sustain;
    std::int64_t attack_end, gate;
    float level = 0;
    Envelope(const Instrument& ins, std::int64_t gate_samples)
        : attack_step(ins.attack > 0 ? 1.0f / (ins.attack * SAMPLE_RATE) : 1.0f),
          decay_coef(std::exp(-1.0f / (ins.decay * SAMPLE_RATE))),
          release_coef(std::exp(-1.0f / (ins.release * SAMPLE_RATE))),
          sustain(ins.sustain),
          attack_end(static_cast<std::int64_t>(ins.attack * SAMPLE_RATE)),
          gate(gate_samples) {}
    float next(std::int64_t n) {
        if (n >= gate) {
            level *= release_coef;
        } else if (n < attack_end) {
            level = std::min(1.0f, level + attack_step);
        } else {
            level = sustain + (level - sustain) * decay_coef;
        }
        return level;
    }
};

struct Mixer {
    const Instrument& ins;
    Buses& buses;
    float velocity;
    float pan_left, pan_right;
    Mixer(const Instrument& instrument, Buses& b, float vel)
        : ins(instrument), buses(b), velocity(vel * instrument.gain),
          pan_left(std::cos((instrument.pan + 1.0f) * PI / 4.0f) * 1.41421356f),
          pan_right(std::sin((instrument.pan + 1.0f) * PI / 4.0f) * 1.41421356f) {}
    void add(std::size_t at, float left, float right) {
        const float g = velocity * (1.0f - ins.duck * (1.0f - buses.duck[at]));
        const float l = left * pan_left * g, r = right * pan_right * g;
        buses.left[at] += l;
        buses.right[at] += r;
        if (ins.delay_send > 0) {
            buses.delay_left[at] += l * ins.delay_send;
            buses.delay_right[at] += r * ins.delay_send;
        }
        if (ins.reverb_send > 0) {
            buses.reverb_left[at] += l * ins.reverb_send;
            buses.reverb_right[at] += r * ins.reverb_send;
        }
    }
};

std::int64_t voice_length(const Instrument& ins, const VoiceNote& note) {
    const auto tail = static_cast<std::int64_t>(voice_tail_seconds(ins) * SAMPLE_RATE);
    return ins.kind == InstrumentKind::Synth ? note.gate + tail : tail;
}

void add_kick(const Instrument& ins, const VoiceNote& note, std::int64_t length, Mixer& mix) {
    Noise noise{note.seed};
    const float low = ins.tone > 0 ? ins.tone : 48.0f, high = 320.0f;
    const float amp_coef = std::exp(-1.0f / (ins.decay * SAMPLE_RATE));
    const float sweep_coef = std::exp(-1.0f / (0.018f * SAMPLE_RATE));
    const float click_coef = std::exp(-1.0f / (0.0025f * SAMPLE_RATE));
    float phase = 0, amp = 1, sweep = 1, click = 0.35f, click_lp = 0;
    for (std::int64_t n = 0; n < length; ++n) {
        const float freq = low + (high - low) * sweep;
        phase += freq * DT;
        if (phase >= 1.0f) phase -= 1.0f;
        click_lp += 0.35f * (noise.next() * click - click_lp);
        const float s = soft_clip(2.2f * sine(phase) * amp) + click_lp;
        mix.add(static_cast<std::size_t>(note.start + n), s, s);
        amp *= amp_coef;
        sweep *= sweep_coef;
        click *= click_coef;
    }
}

void add_snare_like(const Instrument& ins, const VoiceNote& note, std::int64_t length, Mixer& mix) {
    Noise noise{note.seed};
    Svf band, high;
    const bool clap = ins.kind == InstrumentKind::Clap;
    band.tune(clap ? 1300.0f : 2400.0f, clap ? 0.55f : 0.2f);
    high.tune(ins.kind == InstrumentKind::Hat ? ins.cutoff : 900.0f, 0.1f);
    const float body_freq = ins.tone > 0 ? ins.tone : 185.0f;
    const float tail_coef = std::exp(-1.0f / (ins.decay * SAMPLE_RATE));
    const float body_coef = std::exp(-1.0f / (0.055f * SAMPLE_RATE));
    float tail = 1, body = ins.kind == InstrumentKind::Snare ? 0.7f : 0.0f, phase = 0;
    for (std::int64_t n = 0; n < length; ++n) {
        const float white = noise.next();
        float s;
        if (ins.kind == InstrumentKind::Hat) {
            s = high.run(white, FilterMode::HighPass) * tail;
        } else if (clap) {
            // Three quick bursts, then the tail.
            const float t = static_cast<float>(n) * DT;
            const float burst = t < 0.024f ? std::exp(-std::fmod(t, 0.008f) / 0.003f) : tail * 0.8f;
            s = band.run(white, FilterMode::BandPass) * burst * 2.5f;
        } else {
            phase += body_freq * (1.0f + 0.5f * body) * DT;
            if (phase >= 1.0f) phase -= 1.0f;
            const float noisy = high.run(white, FilterMode::HighPass) * 0.6f + band.run(white, FilterMode::BandPass);
            s = noisy * tail * 0.8f + sine(phase) * body;
        }
        mix.add(static_cast<std::size_t>(note.start + n), s, s);
        tail *= tail_coef;
        body *= body_coef;
    }
}

float oscillator(Wave wave, float phase, float inc, Noise& noise) {
    switch (wave) {
    case Wave::Saw:
        return 2.0f * phase - 1.0f - poly_blep(phase, inc);
    case Wave::Square: {
        const float shifted = phase < 0.5f ? phase + 0.5f : phase - 0.5f;
        return (phase < 0.5f ? 1.0f : -1.0f) + poly_blep(phase, inc) - poly_blep(shifted, inc);
    }
    case Wave::Sine:
        return sine(phase);
    case Wave::Triangle:
        return phase < 0.5f ? 4.0f * phase - 1.0f : 3.0f - 4.0f * phase;
    case Wave::Noise:
        return noise.next();
    }
    return 0.0f;
}

void add_synth(const Instrument& ins, const VoiceNote& note, std::int64_t length, Mixer& mix) {
    constexpr int MAX_UNISON = 9;
    Noise noise{note.seed};
    const int unison = std::clamp(ins.unison, 1, MAX_UNISON);
    const float base = 440.0f * std::pow(2.0f, static_cast<float>(note.note - 69) / 12.0f);
    float phase[MAX_UNISON], ratio[MAX_UNISON], to_left[MAX_UNISON], to_right[MAX_UNISON];
    const float norm = 1.0f / std::sqrt(static_cast<float>(unison));
    for (int i = 0; i < unison; ++i) {
        const float spread = unison > 1 ? 2.0f * static_cast<float>(i) / static_cast<float>(unison - 1) - 1.0f : 0.0f;
        ratio[i] = std::pow(2.0f, spread * ins.detune / 2400.0f);
        phase[i] = unison > 1 ? 0.5f + 0.5f * noise.next() : 0.0f;
        to_left[i] = (0.5f - 0.4f * spread) * norm;
        to_right[i] = (0.5f + 0.4f * spread) * norm;
    }
    Svf filter_left, filter_right;
    Envelope amp(ins, note.gate);
    const float fenv_coef = std::exp(-static_cast<float>(CONTROL_STEP) / (ins.filter_decay * SAMPLE_RATE));
    const float drive_norm = ins.drive > 0 ? 1.0f / soft_clip(1.0f + ins.drive) : 1.0f;
    float fenv = 1, sub_phase = 0, pitch = 1;
    for (std::int64_t n = 0; n < length; ++n) {
        if (n % CONTROL_STEP == 0) {
            const float t = static_cast<float>(n) * DT;
            const float sweep = ins.filter_rise > 0 ? std::min(1.0f, t / ins.filter_rise) : fenv;
            filter_left.tune(ins.cutoff + ins.filter_env * sweep, ins.resonance);
            filter_right.copy_tuning(filter_left);
            fenv *= fenv_coef;
            if (ins.vibrato > 0) {
                const float depth = ins.vibrato * std::min(1.0f, t / 0.4f);
                pitch = std::pow(2.0f, depth * std::sin(2.0f * PI * ins.vibrato_rate * t) / 12.0f);
            }
        }
        float left = 0, right = 0;
        for (int i = 0; i < unison; ++i) {
            const float inc = base * ratio[i] * pitch * DT;
            phase[i] += inc;
            if (phase[i] >= 1.0f) phase[i] -= 1.0f;
            const float s = oscillator(ins.wave, phase[i], inc, noise);
            left += s * to_left[i];
            right += s * to_right[i];
        }
        if (ins.sub > 0) {
            sub_phase += 0.5f * base * DT;
            if (sub_phase >= 1.0f) sub_phase -= 1.0f;
            const float s = sine(sub_phase) * ins.sub;
            left += s;
            right += s;
        }
        left = filter_left.run(left, ins.filter);
        right = unison > 1 ? filter_right.run(right, ins.filter) : left;
        if (ins.drive > 0) {
            left = soft_clip(left * (1.0f + ins.drive)) * drive_norm;
            right = soft_clip(right * (1.0f + ins.drive)) * drive_norm;
        }
        const float level = amp.next(n);
        if (level < 1e-5f && (n >= note.gate || (ins.sustain == 0 && n > ins.attack * SAMPLE_RATE))) break;
        mix.add(static_cast<std::size_t>(note.start + n), left * level, right * level);
    }
}

}  // namespace

Buses::Buses(std::size_t frames)
    : left(frames), right(frames), delay_left(frames), delay_right(frames), reverb_left(frames),
      reverb_right(frames), duck(frames, 1.0f) {}

double voice_tail_seconds(const Instrument& instrument) {
    return 7.0 * (instrument.kind == InstrumentKind::Synth ? instrument.release : instrument.decay);
}

void add_voice(const Instrument& instrument, const VoiceNote& note, Buses& buses) {
    const auto frames = static_cast<std::int64_t>(buses.frames());
    if (note.start < 0 || note.start >= frames) return;
    const std::int64_t length = std::min(voice_length(instrument, note), frames - note.start);
    Mixer mix(instrument, buses, note.velocity);
    switch (instrument.kind) {
    case InstrumentKind::Kick:
        add_kick(instrument, note, length, mix);
        break;
    case InstrumentKind::Synth:
        add_synth(instrument, note, length, mix);
        break;
    default:
        add_snare_like(instrument, note, length, mix);
        break;
    }
}

}  // namespace textdemo::content
