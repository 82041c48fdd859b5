// key_decoder_fuzz: arbitrary terminal bytes, cut into reads at arbitrary times, through the
// console's key decoder. Whatever came before, a lone Escape typed after a pause must be seen
// exactly once; no read gives more keys than it has bytes (plus what was left open before
// it: an Escape and a string's body); no reply is longer than a reply can be, and its
// numbers read within bounds; the detection takes them in without reading past them and
// finds a cell size within its bounds.
// Depends on: key_decoder, terminal_reply, terminal_queries.
//
// Input: a list of reads, each one byte of length (0..63), one byte of milliseconds since the
// previous read, then that many bytes; the list ends where the input does.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "display/console/key_decoder.hpp"
#include "display/console/terminal_queries.hpp"

using namespace textdemo;

namespace {

std::size_t escapes(const std::vector<KeyRecord>& records) {
    std::size_t count = 0;
    for (const KeyRecord& record : records) count += record.virtual_key == KEY_ESCAPE;
    return count;
}

// A reply takes at least three bytes (ESC, introducer, final byte or terminator); one left
// open before may end with the read's first byte.
void check_replies(const std::vector<TerminalReply>& replies, std::size_t length, bool open_before) {
    if (replies.size() > length / 3 + (open_before ? 1 : 0)) std::abort();
    for (const TerminalReply& reply : replies) {
        if (reply.body.size() > MAX_REPLY_BODY || reply.intermediates.size() > MAX_REPLY_BODY) std::abort();
        const bool sequence = reply.kind == ReplyKind::ControlSequence;
        if (sequence != (reply.final_byte != 0)) std::abort();
        int numbers[MAX_REPLY_NUMBERS];
        const int count = reply_numbers(reply.body, numbers);
        if (count < -1 || count > MAX_REPLY_NUMBERS) std::abort();
        for (int i = 0; i < count; ++i)
            if (numbers[i] < 0 || numbers[i] > 999999) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KeyDecoder decoder;
    std::uint32_t now_ms = 0xFFFFFF00;  // the clock wraps during some inputs
    std::vector<KeyRecord> records;
    std::vector<TerminalReply> replies;
    TerminalAnswers answers;
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t length = std::min<std::size_t>(data[at] & 63, size - at - 2);
        now_ms += data[at + 1];
        records.clear();
        replies.clear();
        const bool open_before = decoder.state != KeyDecoder::State::Ground;
        const std::size_t body_before = decoder.reply.body.size();
        decode_keys(decoder, data + at + 2, length, now_ms, records, replies);
        if (records.size() > length + (open_before ? 1 + body_before : 0)) std::abort();
        check_replies(replies, length, open_before);
        read_terminal_answers(answers, replies);
        const CellSize cell = cell_size(80, 24, 0, 0, answers);
        if (cell != CellSize{} && (cell.width < 2 || cell.width > 512 || cell.height < 2 || cell.height > 512))
            std::abort();
        at += 2 + length;
    }

    // A pause settles whatever is open; then Escape, alone in its read, and the next frame.
    records.clear();
    now_ms += SEQUENCE_TIMEOUT_MS + 1;
    decode_keys(decoder, nullptr, 0, now_ms, records, replies);
    if (decoder.state != KeyDecoder::State::Ground) std::abort();
    records.clear();
    const std::uint8_t escape = 0x1B;
    decode_keys(decoder, &escape, 1, now_ms += 1000, records, replies);
    decode_keys(decoder, nullptr, 0, now_ms += 16, records, replies);
    if (records.size() != 1 || escapes(records) != 1) std::abort();
    return 0;
}
