// salad: packs, lists and extracts resource archives.
//
//   salad pack [--store] OUT FILE...   each FILE under its base name, LZMA where it pays
//   salad list ARCHIVE                 name, stored size, unpacked size, method
//   salad extract [--force] ARCHIVE DIR [NAME...]
//
// Depends on: archive_file and archive_format (the loader's own checks and decoding),
// archive_writer, file_bytes, output_file (every file written under a fresh name and renamed
// into place when complete), standard_output.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "resources/archive_file.hpp"
#include "resources/archive_format.hpp"
#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"
#include "apps/standard_output.hpp"
#include "tools/output/output_file.hpp"

using namespace textdemo;
using namespace textdemo::tools;

namespace {

constexpr int EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2;

const char USAGE[] =
    "usage: salad pack [--store] OUT FILE...\n"
    "       salad list ARCHIVE\n"
    "       salad extract [--force] ARCHIVE DIR [NAME...]\n"
    "\n"
    "Resource archives hold up to 100 entries of at most 64 MiB each (256 MiB in all),\n"
    "named by at most 32 bytes.\n"
    "\n"
    "  pack     writes OUT from the FILEs, each under its base name, in the order given.\n"
    "           An entry is LZMA-compressed where that saves at least 1/8 of its\n"
    "           size; --store stores every entry as is.\n"
    "  list     prints each entry's name, stored size, unpacked size and method.\n"
    "  extract  writes every entry (or only the NAMEs) into DIR, creating DIR if needed.\n"
    "           Existing files are left alone unless --force is given, which replaces them\n"
    "           (a symbolic link is replaced by the file, its target never written).\n"
    "           A damaged entry is not written.\n"
    "\n"
    "Every file is written under a fresh name beside its own and renamed when complete, so a\n"
    "failure (a full disk too) leaves no part of it. OUT may be neither one of the FILEs nor a\n"
    "FIFO or device.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "salad: %s\n", message.c_str());
    return EXIT_FAILED;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "salad: %s\n%s", message.c_str(), USAGE);
    return EXIT_USAGE;
}

// "WHAT PATH: reason", the reason from the errno the failed call left, then the hint.
int fail_errno(const char* what, const std::string& path, const char* hint = "") {
    const char* reason = std::strerror(errno);
    return fail(std::string(what) + " " + path + ": " + reason + hint);
}

// Removes every `flag` from args; true when there was one.
bool take_flag(std::vector<std::string>& args, const std::string& flag) {
    const auto end = std::remove(args.begin(), args.end(), flag);
    const bool given = end != args.end();
    args.erase(end, args.end());
    return given;
}

// Reads and checks an archive; on failure prints the problem and returns false.
bool open_archive(const std::string& path, std::vector<std::uint8_t>& file, std::vector<DirectoryEntry>& entries) {
    std::string problem;
    if (!read_archive_file(path, file, problem)) {
        if (problem.empty()) fail_errno("cannot read", path);
        else fail("damaged resource archive " + path + ": " + problem);
        return false;
    }
    problem = read_archive_layout(file, entries);
    if (!problem.empty()) fail("damaged resource archive " + path + ": " + problem);
    return problem.empty();
}

// Names that could leave DIR or are not file names at all.
bool safe_file_name(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

int pack(std::vector<std::string> paths) {
    const bool store = take_flag(paths, "--store");
    if (paths.size() < 2) return usage_error("pack needs OUT and at least one FILE");
    const std::string out = paths.front();
    const std::vector<std::string> inputs(paths.begin() + 1, paths.end());
    if (const std::string problem = output_target_problem(out, OutputKind::WholeFile, inputs); !problem.empty())
        return fail("cannot write " + out + ": " + problem);

    // Every unreadable FILE is named before giving up.
    std::vector<PackItem> items;
    bool unreadable = false;
    for (std::size_t i = 1; i < paths.size(); ++i) {
        PackItem item{std::filesystem::path(paths[i]).filename().string(), {}};
        if (!read_file_bytes(paths[i], item.data)) {
            fail_errno("cannot read", paths[i]);
            unreadable = true;
        }
        items.push_back(std::move(item));
    }
    if (unreadable) return EXIT_FAILED;
    std::vector<std::uint8_t> archive;
    const std::string problem = build_archive(items, !store, archive);
    if (!problem.empty()) return fail("cannot pack " + out + ": " + problem);

    // Written beside OUT and renamed, so a failed run never leaves half an archive.
    if (!write_whole_file(out, archive, true)) return fail_errno("cannot write", out);
    return EXIT_OK;
}

int list(const std::vector<std::string>& args) {
    if (args.size() != 1) return usage_error("list needs exactly one ARCHIVE");
    std::vector<std::uint8_t> file;
    std::vector<DirectoryEntry> entries;
    if (!open_archive(args[0], file, entries)) return EXIT_FAILED;
    std::printf("%-32s %10s %10s  %s\n", "NAME", "STORED", "UNPACKED", "METHOD");
    for (const DirectoryEntry& entry : entries) {
        std::printf("%-32s %10u %10u  %s\n", printable_name(entry.name).c_str(), entry.stored_size, entry.unpacked_size,
                    entry.compressed ? "lzma" : "stored");
    }
    return close_standard_output("salad") ? EXIT_OK : EXIT_FAILED;
}

// Every entry asked for is tried; each one refused or failed gets its own line, and any of
// them makes the exit code 1.
int extract(std::vector<std::string> args) {
    const bool force = take_flag(args, "--force");
    if (args.size() < 2) return usage_error("extract needs ARCHIVE and DIR");
    std::vector<std::uint8_t> file;
    std::vector<DirectoryEntry> entries;
    if (!open_archive(args[0], file, entries)) return EXIT_FAILED;
    const std::filesystem::path dir = args[1];
    int status = EXIT_OK;

    // Every entry, or the ones asked for (names are unique: the layout check sees to it).
    std::vector<const DirectoryEntry*> chosen;
    for (const DirectoryEntry& entry : entries) chosen.push_back(&entry);
    if (args.size() > 2) {
        std::vector<const DirectoryEntry*> wanted;
        for (std::size_t i = 2; i < args.size(); ++i) {
            const auto found = std::find_if(chosen.begin(), chosen.end(),
                                            [&](const DirectoryEntry* entry) { return entry->name == args[i]; });
            if (found == chosen.end()) {
                status = fail(args[0] + " has no entry \"" + args[i] + "\"");
            } else {
                wanted.push_back(*found);
            }
        }
        chosen = wanted;
    }

    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) return fail("cannot create " + dir.string() + ": " + error.message());
    for (const DirectoryEntry* entry : chosen) {
        if (!safe_file_name(entry->name)) {
            status = fail("refusing to extract an entry named \"" + printable_name(entry->name) +
                          "\": not a plain file name");
            continue;
        }
        // A damaged entry is not written: a short file under its real name would pass for it.
        std::vector<std::uint8_t> data(entry->unpacked_size);
        data.resize(decode_entry(file, *entry, data.data()));
        if (data.size() < entry->unpacked_size) {
            status = fail("\"" + entry->name + "\" decodes to " + std::to_string(data.size()) + " of its " +
                          std::to_string(entry->unpacked_size) + " bytes; not written");
            continue;
        }
        // Existing files (and links) are replaced only with --force, never written through.
        const std::string path = (dir / entry->name).string();
        if (!write_whole_file(path, data, force)) {
            status = fail_errno("cannot write", path, errno == EEXIST ? " (--force replaces it)" : "");
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no command given");
    const std::string& command = args.front();
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(USAGE, stdout);
        return close_standard_output("salad") ? EXIT_OK : EXIT_FAILED;
    }
    if (command == "pack") return pack(std::move(rest));
    if (command == "list") return list(rest);
    if (command == "extract") return extract(std::move(rest));
    return usage_error("unknown command \"" + command + "\"");
}
