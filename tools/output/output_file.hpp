// output_file: the files the tools write, put in place only once they are complete.
//
// Offers: OutputKind, output_target_problem (what stands against writing a target, checked
// before anything is created), OutputFile with open_output, write_output, commit_output
// and discard_output, write_whole_file (all four at once), same_file.
// Depends on: POSIX file calls (mkostemps, fsync, renameat2).
//
// A file is written under a fresh name beside its target, created exclusively (so neither
// an existing file nor a symbolic link planted there is written through), flushed to the
// disk and only then renamed over the target. Whatever fails on the way, a full disk
// included, the fresh file is removed: the target either keeps what it held or gets the
// whole new content. A symbolic link at the target is replaced by the file, its own target
// never written. Streams (the capture tool's per-frame files) may also go into a FIFO or a
// device that already stands at the target: they are written there in place.
//
//     OutputFile out;
//     out.path = "frames.bin";
//     if (!open_output(out, OutputKind::Stream)) ...;        // errno says why
//     if (!write_output(out, bytes, size)) ...;              // on failure: discard_output(out)
//     if (!commit_output(out, true)) ...;                    // partial file gone on failure
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace textdemo::tools {

enum class OutputKind {
    WholeFile,  // a regular file only: a FIFO or device at the target is refused
    Stream,     // a FIFO or device at the target is written in place
};

// Why `path` cannot be written as `kind`, or "" when it can: a directory stands there, a
// FIFO or device where a whole file is needed, or it is the same file as one of `inputs`
// (which the new file would replace). Creates nothing.
std::string output_target_problem(const std::string& path, OutputKind kind, std::span<const std::string> inputs);

// True when both paths name one existing file (links followed), or one place where none
// exists yet.
bool same_file(const std::string& a, const std::string& b);

struct OutputFile {
    std::string path;     // the target
    std::string partial;  // the fresh file beside it while it is written; empty in place
    int fd = -1;
};

// Creates the fresh file beside out.path (or opens the FIFO or device there, for a
// stream). False, with errno set, on failure; nothing is then left behind.
bool open_output(OutputFile& out, OutputKind kind);

// All of `bytes`, or false with errno set. A signal caught without SA_RESTART ends the
// write (EINTR), so an interrupt is not held up by a FIFO nobody reads.
bool write_output(OutputFile& out, const void* bytes, std::size_t size);

// Flushes the fresh file to the disk, closes it and renames it over the target; with
// `replace` false an existing target is left alone (EEXIST). False, with errno set, on any
// failure, and the fresh file is then removed. A FIFO or device is only closed.
bool commit_output(OutputFile& out, bool replace);

// Closes and removes the fresh file; the target stays as it was.
void discard_output(OutputFile& out);

// `bytes` as the whole file at `path`, put in place as commit_output does. False, with
// errno set, on failure.
bool write_whole_file(const std::string& path, std::span<const std::uint8_t> bytes, bool replace);

}  // namespace textdemo::tools
