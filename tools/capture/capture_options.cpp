// capture_options: strict parsing of positions and output options; every problem is reported
// as one line of text so the tool can exit with code 2. The options are read by the
// programs' shared long-option reader.
#include "tools/capture/capture_options.hpp"

#include <algorithm>
#include <optional>
#include <utility>

#include "apps/command_line.hpp"

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
    "  --archive FILE         resource archive to read (default ruk.salad, looked for where the\n"
    "                         players look: here, beside the program, in its data folder)\n"
    "  --help                 show this text\n"
    "\n"
    "At least one output is required. Bad arguments exit with code 2. A range holds at most\n"
    "5400000 positions (a day of 16 ms frames). Positions past the music's end render dark red,\n"
    "as the show would, with a warning; --video refuses a --from past it.\n"
    "\n"
    "Every output is written under a partial name beside its own and renamed when complete (each\n"
    "picture on its own): a failure, a full disk, an interrupt or a failing ffmpeg leaves no part\n"
    "of a file behind. No output may be the archive. A FIFO or device may take --words, --cells\n"
    "or --console, written as the frames come; --video refuses one.\n";
static_assert(MAX_RANGE_POSITIONS == 5'400'000, "the usage text names the bound");

std::uint64_t position_count(const Positions& positions) {
    if (!positions.listed.empty()) return positions.listed.size();
    return (std::uint64_t{positions.to} - positions.from) / positions.step + 1;
}

std::uint32_t position_at(const Positions& positions, std::uint64_t index) {
    if (!positions.listed.empty()) return positions.listed[index];
    return static_cast<std::uint32_t>(positions.from + index * positions.step);
}

std::uint32_t latest_position(const Positions& positions) {
    if (!positions.listed.empty()) return *std::max_element(positions.listed.begin(), positions.listed.end());
    return position_at(positions, position_count(positions) - 1);
}

std::string set_position_range(Positions& positions, std::uint32_t from, std::uint32_t to, std::uint32_t step) {
    if (from > to) return "--from lies after --to";
    if (step == 0) return "--step must be at least 1";
    positions.from = from;
    positions.to = to;
    positions.step = step;
    const std::uint64_t count = position_count(positions);
    if (count > MAX_RANGE_POSITIONS)
        return "--from " + std::to_string(from) + " --to " + std::to_string(to) + " --step " + std::to_string(step) +
               " gives " + std::to_string(count) + " positions, more than the " + std::to_string(MAX_RANGE_POSITIONS) +
               " (a day of 16 ms frames) one run renders";
    return "";
}

namespace {

// The usage text above is written out by hand: its range line joins --from and --to.
constexpr OptionSpec CAPTURE_OPTIONS[] = {
    {"at", "MS[,MS...]", ""}, {"from", "MS", ""},     {"to", "MS", ""},     {"step", "MS", ""},
    {"words", "FILE", ""},    {"cells", "FILE", ""},  {"console", "FILE", ""}, {"png", "DIR", ""},
    {"video", "FILE", ""},    {"scale", "N", ""},     {"archive", "FILE", ""}, {"help", "", ""},
};

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
    auto fail = [&](const std::string& message) {
        parsed.error = message;
        return parsed;
    };
    const CommandLine line = parse_command_line(args, CAPTURE_OPTIONS);
    if (!line.error.empty()) return fail(line.error);
    o.help = line.has("help");
    for (const auto& [name, target] : {std::pair{"words", &o.words_file}, {"cells", &o.cells_file},
                                       {"console", &o.console_file}, {"png", &o.png_dir},
                                       {"video", &o.video_file}, {"archive", &o.archive}})
        if (const std::string* value = line.find(name)) *target = *value;
    const std::string at = line.has("at") ? *line.find("at") : "";
    std::optional<std::uint32_t> from, to, step, scale;
    for (const auto& [name, target] : {std::pair{"from", &from}, {"to", &to}, {"step", &step}, {"scale", &scale}}) {
        const std::string* value = line.find(name);
        if (!value) continue;
        *target = parse_ms(*value);
        if (!*target) return fail(std::string("--") + name + ": \"" + *value + "\" is not a number of milliseconds");
    }
    if (o.help) return parsed;

    if (!o.video_file.empty()) {
        if (!at.empty() || step) return fail("--video renders every 16 ms: no --at or --step");
        if (!o.words_file.empty() || !o.cells_file.empty() || !o.console_file.empty() || !o.png_dir.empty())
            return fail("--video goes without other outputs");
        if (scale && (*scale < 1 || *scale > 8)) return fail("--scale must be 1..8");
        o.video_scale = static_cast<int>(scale.value_or(2));
        o.positions.to_music_end = !to;
        if (!to) {
            o.positions.from = from.value_or(0);
            return parsed;
        }
        if (const std::string problem = set_position_range(o.positions, from.value_or(0), *to, 16); !problem.empty())
            return fail(problem);
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
            o.positions.listed.push_back(*ms);
            if (comma == std::string::npos) break;
            begin = comma + 1;
        }
    } else if (from || to) {
        if (!from || !to) return fail("--from and --to go together");
        if (const std::string problem = set_position_range(o.positions, *from, *to, step.value_or(16)); !problem.empty())
            return fail(problem);
    } else {
        return fail(step ? "--step needs --from and --to" : "no positions: give --at or --from and --to");
    }
    if (o.words_file.empty() && o.cells_file.empty() && o.console_file.empty() && o.png_dir.empty())
        return fail("nothing to write: give --words, --cells, --console, --png or --video");
    return parsed;
}

}  // namespace textdemo::capture
