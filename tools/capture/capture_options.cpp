// capture_options: strict parsing of positions and output options; every problem is reported
// as one line of text so the tool can exit with code 2.
#include "tools/capture/capture_options.hpp"

#include <optional>

namespace textdemo::capture {

const char* const CAPTURE_USAGE =
    "usage: textdemo-capture (--at MS[,MS...] | --from MS --to MS [--step MS]) OUTPUTS [--archive FILE]\n"
    "       textdemo-capture --video FILE [--from MS] [--to MS] [--scale N] [--archive FILE]\n"
    "\n"
    "Builds the show from the archive as the programs do (no sound output, no display) and\n"
    "renders the given song positions in order, effect state carrying over from frame to frame.\n"
    "\n"
    "  --at MS[,MS...]        render these song positions (milliseconds)\n"
    "  --from MS --to MS      render MS, MS + step, ... up to and including --to\n"
    "  --step MS              step of --from/--to (default 16)\n"
    "  --words FILE           per frame 4000 pixel words, uint32 little-endian, row-major\n"
    "  --cells FILE           per frame 4000 window cells: attribute byte, glyph index\n"
    "  --console FILE         per frame 4000 console cells: character code, attribute byte\n"
    "  --png DIR              one 640 x 400 PNG per frame as the window shows it at scale 1,\n"
    "                         DIR/000000.png upward (DIR is created when missing)\n"
    "  --video FILE           a video of the window's picture at 62.5 frames per second with the\n"
    "                         music, encoded by the ffmpeg program (from --from, default 0, to\n"
    "                         --to, default the music's end; no other output goes with it)\n"
    "  --scale N              whole-number enlargement of the video picture, 1..8 (default 2)\n"
    "  --archive FILE         resource archive to read (default ruk.salad)\n"
    "  --help                 show this text\n"
    "\n"
    "At least one output is required. Bad arguments exit with code 2.\n";

namespace {

std::optional<std::uint32_t> parse_ms(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

ParsedOptions parse_capture_options(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    CaptureOptions& o = parsed.options;
    std::optional<std::uint32_t> from, to, step, scale;
    std::string at;
    bool archive_given = false;
    auto fail = [&](const std::string& message) {
        parsed.error = message;
        return parsed;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool has_value = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            has_value = true;
        }
        if (name == "--help") {
            o.help = true;
            continue;
        }
        std::string* text_target = name == "--words"     ? &o.words_file
                                   : name == "--cells"   ? &o.cells_file
                                   : name == "--console" ? &o.console_file
                                   : name == "--png"     ? &o.png_dir
                                   : name == "--archive" ? &o.archive
                                   : name == "--video"   ? &o.video_file
                                   : name == "--at"      ? &at
                                                         : nullptr;
        std::optional<std::uint32_t>* number_target = name == "--from"   ? &from
                                                      : name == "--to"   ? &to
                                                      : name == "--step" ? &step
                                                      : name == "--scale" ? &scale
                                                                         : nullptr;
        if (!text_target && !number_target) return fail("unknown argument \"" + args[i] + "\"");
        if (!has_value) {
            if (i + 1 == args.size()) return fail(name + " needs a value");
            value = args[++i];
        }
        if (value.empty()) return fail(name + " needs a value");
        if (number_target) {
            if (number_target->has_value()) return fail(name + " is given twice");
            *number_target = parse_ms(value);
            if (!number_target->has_value()) return fail(name + ": \"" + value + "\" is not a number of milliseconds");
        } else {
            const bool given = text_target == &o.archive ? archive_given : !text_target->empty();
            if (given) return fail(name + " is given twice");
            if (text_target == &o.archive) archive_given = true;
            *text_target = value;
        }
    }
    if (o.help) return parsed;

    if (!o.video_file.empty()) {
        if (!at.empty() || step) return fail("--video renders every 16 ms: no --at or --step");
        if (!o.words_file.empty() || !o.cells_file.empty() || !o.console_file.empty() || !o.png_dir.empty())
            return fail("--video goes without other outputs");
        if (scale && (*scale < 1 || *scale > 8)) return fail("--scale must be 1..8");
        if (from && to && *from > *to) return fail("--from lies after --to");
        o.video_from = from.value_or(0);
        o.video_to = to.value_or(VIDEO_TO_MUSIC_END);
        o.video_scale = static_cast<int>(scale.value_or(2));
        return parsed;
    }
    if (scale) return fail("--scale needs --video");

    if (!at.empty()) {
        if (from || to || step) return fail("--at cannot be combined with --from, --to or --step");
        std::size_t begin = 0;
        for (;;) {
            const std::size_t comma = at.find(',', begin);
            const std::string item = at.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
            const auto ms = parse_ms(item);
            if (!ms) return fail("--at: \"" + item + "\" is not a number of milliseconds");
            o.positions.push_back(*ms);
            if (comma == std::string::npos) break;
            begin = comma + 1;
        }
    } else if (from || to) {
        if (!from || !to) return fail("--from and --to go together");
        if (*from > *to) return fail("--from lies after --to");
        const std::uint64_t stride = step.value_or(16);
        if (stride == 0) return fail("--step must be at least 1");
        for (std::uint64_t ms = *from; ms <= *to; ms += stride) o.positions.push_back(static_cast<std::uint32_t>(ms));
    } else {
        return fail(step ? "--step needs --from and --to" : "no positions: give --at or --from and --to");
    }
    if (o.words_file.empty() && o.cells_file.empty() && o.console_file.empty() && o.png_dir.empty())
        return fail("nothing to write: give --words, --cells, --console, --png or --video");
    return parsed;
}

}  // namespace textdemo::capture
