// output_pacing: how far behind what was written the terminal is, measured by round trips,
// and whether the next frame may be written.
//
// Offers: PACING_PROBE, PACING_LAG_MS, MAX_PROBES_IN_FLIGHT, OutputPacing, answers_probe,
// pacing_sent, pacing_answered, pacing_forget_in_flight, frame_may_go, line_ns_per_byte and probes_due.
// Depends on: terminal_reply.
//
// Each write ends with PACING_PROBE, a request for the primary device attributes, which a
// terminal answers only once it has read everything written before it; the start-up
// queries end with the same request, so their write is the first probe. Each answer
// therefore says that one more write has reached the terminal, however long the line and
// however much the ssh channel or the pty held meanwhile. The pacing knows only writes,
// their bytes and their times, nothing of cells or pictures, so any layout's frames are
// paced alike (a large picture simply counts more bytes).
//
// A frame may go while the terminal is less than about PACING_LAG_MS behind: the oldest
// unanswered write is younger than that, and the bytes in flight with one more frame like
// the last drain in less than that at the speed the line has shown. Each answer measures
// that speed: the write's bytes over the time the line was busy with them (from when the
// write before was answered, or from when this one was sent, whichever is later), over the
// last few answers together (answers are read once a frame, so each alone is up to a
// frame's time off). A write that found the line idle counts the round trip too: a line
// whose round trip alone is longer than PACING_LAG_MS gets a frame per round trip. Until an
// answer has measured the line, one write at a time is in flight. A terminal that never
// answered a probe is not paced at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "display/console/terminal_reply.hpp"

namespace textdemo {

// The primary device attributes request; the answer is ESC [ ? ... c.
inline constexpr std::string_view PACING_PROBE = "\x1b[c";
// How far behind the terminal may be before frames are left out.
constexpr std::uint32_t PACING_LAG_MS = 100;
constexpr int MAX_PROBES_IN_FLIGHT = 16;
constexpr int SPEED_SAMPLES = 8;

struct ProbeInFlight {
    std::uint32_t sent_ms = 0;
    std::size_t bytes = 0;  // of the write the probe ends, the probe included
};

struct OutputPacing {
    bool answered = false;  // a probe was answered: the terminal is paced
    ProbeInFlight in_flight[MAX_PROBES_IN_FLIGHT];
    int oldest = 0;  // index of the oldest write in flight
    int count = 0;   // writes in flight
    std::size_t bytes_in_flight = 0;
    std::size_t last_frame_bytes = 0;
    std::uint32_t last_answer_ms = 0;
    // The last answered writes: their bytes and how long the line was busy with them.
    std::size_t sample_bytes[SPEED_SAMPLES] = {};
    std::uint32_t sample_busy_ms[SPEED_SAMPLES] = {};
    int samples = 0;  // how many are measured (at most SPEED_SAMPLES)
    int next_sample = 0;
};

// True for the answer to PACING_PROBE.
bool answers_probe(const TerminalReply& reply);

// A write of `bytes`, ending with the probe, went out at now_ms. A frame's write also sets
// the size the next frame is expected to have; the start-up queries' write does not.
void pacing_sent(OutputPacing& pacing, std::uint32_t now_ms, std::size_t bytes, bool frame = true);

// The oldest write in flight was answered at now_ms. An answer with none in flight (not
// one of ours) is ignored.
void pacing_answered(OutputPacing& pacing, std::uint32_t now_ms);

// The answers to the writes in flight were read elsewhere (the terminal was lent to the
// shell meanwhile): none is in flight any more; what was measured stays.
void pacing_forget_in_flight(OutputPacing& pacing);

// Whether a frame written now keeps the terminal within PACING_LAG_MS; always true for a
// terminal never answered, never while MAX_PROBES_IN_FLIGHT are unanswered.
bool frame_may_go(const OutputPacing& pacing, std::uint32_t now_ms);

// Nanoseconds a byte takes on the line, as the last answers measured it; 0 before any did.
std::uint64_t line_ns_per_byte(const OutputPacing& pacing);

// Answers still to come from a paced terminal (0 before it answered one): read before the
// terminal is given back, so they do not reach the shell as typed text.
int probes_due(const OutputPacing& pacing);

}  // namespace textdemo
