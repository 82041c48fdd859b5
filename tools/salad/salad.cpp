// salad: packs, lists and extracts resource archives.
//
//   salad pack [--store] OUT FILE...   each FILE under its base name, LZMA where smaller
//   salad list ARCHIVE                 name, stored size, unpacked size, method
//   salad extract ARCHIVE DIR [NAME...]
//
// Depends on: archive_format (the loader's own checks and decoding), archive_writer,
// file_bytes.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "resources/archive_format.hpp"
#include "resources/archive_writer.hpp"
#include "resources/file_bytes.hpp"

using namespace textdemo;

namespace {

constexpr int EXIT_OK = 0, EXIT_FAILED = 1, EXIT_USAGE = 2;

const char USAGE[] =
    "usage: salad pack [--store] OUT FILE...\n"
    "       salad list ARCHIVE\n"
    "       salad extract ARCHIVE DIR [NAME...]\n"
    "\n"
    "Resource archives hold up to 100 entries of at most 64 MiB each (256 MiB in all),\n"
    "named by at most 32 bytes.\n"
    "\n"
    "  pack     writes OUT from the FILEs, each under its base name, in the order given.\n"
    "           An entry is LZMA-compressed when that is smaller than storing it;\n"
    "           --store stores every entry as is.\n"
    "  list     prints each entry's name, stored size, unpacked size and method.\n"
    "  extract  writes every entry (or only the NAMEs) into DIR, creating DIR if needed.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "salad: %s\n", message.c_str());
    return EXIT_FAILED;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "salad: %s\n%s", message.c_str(), USAGE);
    return EXIT_USAGE;
}

// Reads and checks an archive; on failure prints the problem and returns false.
bool open_archive(const std::string& path, std::vector<std::uint8_t>& file, std::vector<DirectoryEntry>& entries) {
    if (!read_file_bytes(path, file)) {
        fail("cannot read " + path);
        return false;
    }
    const std::string problem = read_archive_layout(file, entries);
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

int pack(const std::vector<std::string>& args) {
    bool store = false;
    std::vector<std::string> paths;
    for (const std::string& arg : args) {
        if (arg == "--store") {
            store = true;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() < 2) return usage_error("pack needs OUT and at least one FILE");
    const std::string out = paths.front();

    std::vector<PackItem> items;
    for (std::size_t i = 1; i < paths.size(); ++i) {
        PackItem item{std::filesystem::path(paths[i]).filename().string(), {}};
        if (!read_file_bytes(paths[i], item.data) || std::filesystem::is_directory(paths[i])) {
            return fail("cannot read " + paths[i]);
        }
        items.push_back(std::move(item));
    }
    std::vector<std::uint8_t> archive;
    const std::string problem = build_archive(items, !store, archive);
    if (!problem.empty()) return fail("cannot pack " + out + ": " + problem);

    // Written beside OUT and renamed, so a failed run never leaves half an archive.
    const std::string temporary = out + ".partial";
    if (!write_file_bytes(temporary, archive)) {
        std::remove(temporary.c_str());
        return fail("cannot write " + out);
    }
    if (std::rename(temporary.c_str(), out.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail("cannot write " + out);
    }
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
    return EXIT_OK;
}

int extract(const std::vector<std::string>& args) {
    if (args.size() < 2) return usage_error("extract needs ARCHIVE and DIR");
    std::vector<std::uint8_t> file;
    std::vector<DirectoryEntry> entries;
    if (!open_archive(args[0], file, entries)) return EXIT_FAILED;
    const std::filesystem::path dir = args[1];

    // The first entry of each name, as the loader sees them; then the ones asked for.
    std::vector<const DirectoryEntry*> chosen;
    std::set<std::string> seen;
    for (const DirectoryEntry& entry : entries) {
        if (seen.insert(entry.name).second) chosen.push_back(&entry);
    }
    if (args.size() > 2) {
        std::vector<const DirectoryEntry*> wanted;
        for (std::size_t i = 2; i < args.size(); ++i) {
            const DirectoryEntry* found = nullptr;
            for (const DirectoryEntry* entry : chosen) {
                if (entry->name == args[i]) found = entry;
            }
            if (!found) return fail(args[0] + " has no entry \"" + args[i] + "\"");
            wanted.push_back(found);
        }
        chosen = wanted;
    }
    for (const DirectoryEntry* entry : chosen) {
        if (!safe_file_name(entry->name)) {
            return fail("refusing to extract an entry named \"" + printable_name(entry->name) + "\"");
        }
    }

    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) return fail("cannot create " + dir.string() + ": " + error.message());
    int status = EXIT_OK;
    for (const DirectoryEntry* entry : chosen) {
        std::vector<std::uint8_t> data(entry->unpacked_size);
        data.resize(decode_entry(file, *entry, data.data()));
        if (data.size() < entry->unpacked_size) {
            status = fail("\"" + entry->name + "\" decodes to " + std::to_string(data.size()) + " of its " +
                          std::to_string(entry->unpacked_size) + " bytes");
        }
        const std::string path = (dir / entry->name).string();
        if (!write_file_bytes(path, data)) return fail("cannot write " + path);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no command given");
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(USAGE, stdout);
        return EXIT_OK;
    }
    if (command == "pack") return pack(rest);
    if (command == "list") return list(rest);
    if (command == "extract") return extract(rest);
    return usage_error("unknown command \"" + command + "\"");
}
