#include "display/console/output_pacing.hpp"

#include <algorithm>

namespace textdemo {

namespace {

constexpr std::uint64_t NS_PER_MS = 1000000;

// Time the line was busy with the write just answered: since the one before was answered,
// or since this one was sent, whichever came later; at least 1 ms. A write that found the
// line idle counts its round trip too, which only makes the line look slower.
std::uint32_t busy_ms(const OutputPacing& pacing, const ProbeInFlight& write, std::uint32_t now_ms) {
    const bool queued = static_cast<std::int32_t>(pacing.last_answer_ms - write.sent_ms) > 0;
    const std::uint32_t since = queued ? pacing.last_answer_ms : write.sent_ms;
    return static_cast<std::uint32_t>(std::max(static_cast<std::int32_t>(now_ms - since), 1));
}

}  // namespace

bool answers_probe(const TerminalReply& reply) {
    return reply.kind == ReplyKind::ControlSequence && reply.marker == '?' && reply.intermediates.empty() &&
           reply.final_byte == 'c';
}

void pacing_sent(OutputPacing& pacing, std::uint32_t now_ms, std::size_t bytes, bool frame) {
    if (pacing.count == MAX_PROBES_IN_FLIGHT) return;  // frame_may_go said no; not counted
    pacing.in_flight[(pacing.oldest + pacing.count) % MAX_PROBES_IN_FLIGHT] = {now_ms, bytes};
    ++pacing.count;
    pacing.bytes_in_flight += bytes;
    if (frame) pacing.last_frame_bytes = bytes;
}

void pacing_answered(OutputPacing& pacing, std::uint32_t now_ms) {
    if (pacing.count == 0) return;
    const ProbeInFlight write = pacing.in_flight[pacing.oldest];
    pacing.oldest = (pacing.oldest + 1) % MAX_PROBES_IN_FLIGHT;
    --pacing.count;
    pacing.bytes_in_flight -= write.bytes;
    if (!pacing.answered) {
        // The start-up queries' answer: it came after the show was built, no measure.
        pacing.answered = true;
    } else {
        pacing.sample_bytes[pacing.next_sample] = write.bytes;
        pacing.sample_busy_ms[pacing.next_sample] = busy_ms(pacing, write, now_ms);
        pacing.next_sample = (pacing.next_sample + 1) % SPEED_SAMPLES;
        pacing.samples = std::min(pacing.samples + 1, SPEED_SAMPLES);
    }
    pacing.last_answer_ms = now_ms;
}

void pacing_forget_in_flight(OutputPacing& pacing) {
    pacing.count = 0;
    pacing.bytes_in_flight = 0;
}

bool frame_may_go(const OutputPacing& pacing, std::uint32_t now_ms) {
    if (!pacing.answered || pacing.count == 0) return true;
    if (pacing.count == MAX_PROBES_IN_FLIGHT || pacing.samples == 0) return false;
    const std::uint32_t oldest_age = now_ms - pacing.in_flight[pacing.oldest].sent_ms;
    if (oldest_age >= PACING_LAG_MS) return false;
    const std::uint64_t drain_ns = (pacing.bytes_in_flight + pacing.last_frame_bytes) * line_ns_per_byte(pacing);
    return drain_ns < PACING_LAG_MS * NS_PER_MS;
}

std::uint64_t line_ns_per_byte(const OutputPacing& pacing) {
    std::uint64_t bytes = 0, busy_ms = 0;
    for (int i = 0; i < pacing.samples; ++i) {
        bytes += pacing.sample_bytes[i];
        busy_ms += pacing.sample_busy_ms[i];
    }
    return bytes == 0 ? 0 : busy_ms * NS_PER_MS / bytes;
}

int probes_due(const OutputPacing& pacing) { return pacing.answered ? pacing.count : 0; }

}  // namespace textdemo
