#include "tests/support/archive_bytes.hpp"

#include "resources/archive_writer.hpp"

namespace textdemo::test {

namespace {
void put_le32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
}  // namespace

RawEntry RawEntry::stored_as_is(const std::string& name, const Bytes& data) {
    return {name, data, static_cast<std::uint32_t>(data.size()), 0, static_cast<int>(name.size())};
}

RawEntry RawEntry::lzma(const std::string& name, const Bytes& data) {
    return {name, encode_lzma_alone(data), static_cast<std::uint32_t>(data.size()), 1, static_cast<int>(name.size())};
}

Bytes archive_file(const std::vector<RawEntry>& entries) {
    Bytes file = {'S', 'A', 'L', 'A', 'D', 1, static_cast<std::uint8_t>(entries.size()),
                  static_cast<std::uint8_t>(entries.size() >> 8), 0, 0, 0, 0};
    for (const RawEntry& entry : entries) file.insert(file.end(), entry.stored.begin(), entry.stored.end());
    for (const RawEntry& entry : entries) {
        put_le32(file, static_cast<std::uint32_t>(entry.stored.size()));
        put_le32(file, entry.unpacked_size);
        file.push_back(entry.flag);
        file.push_back(static_cast<std::uint8_t>(entry.name_length));
        Bytes name(34, 0);
        for (std::size_t i = 0; i < entry.name.size() && i < name.size(); ++i) {
            name[i] = static_cast<std::uint8_t>((static_cast<std::uint8_t>(entry.name[i]) + 128) % 256);
        }
        file.insert(file.end(), name.begin(), name.end());
    }
    return file;
}

Bytes repeated_text(std::size_t n) {
    static const char words[] = "the quick brown fox jumps over the lazy dog 0123456789 ";
    Bytes text(n);
    for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<std::uint8_t>(words[(i * 7 + i / 13) % (sizeof words - 1)]);
    return text;
}

}  // namespace textdemo::test
