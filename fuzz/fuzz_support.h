#pragma once
// Helpers shared by the fuzz targets: a failed property stops the run like a crash, and inputs
// that carry several datagrams are cut into records.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace nimbrel::fuzzing {

[[noreturn]] inline void property_failed(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0)                                                            \
                 : ::nimbrel::fuzzing::property_failed(#condition, __FILE__, __LINE__))

inline std::string_view as_text(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Records are separated by the ASCII record separator: protocol texts never hold it, and unlike a
// length prefix it survives the fuzzer's insertions and deletions. Each record is a control byte
// followed by one datagram's bytes.
inline constexpr char kRecordSeparator = '\x1e';
inline constexpr std::size_t kMaxRecords = 64;

struct Record {
    std::uint8_t control = 0;
    std::string_view bytes;
};

inline std::vector<Record> split_records(std::string_view input)
{
    std::vector<Record> records;
    std::size_t start = 0;
    while (start < input.size() && records.size() < kMaxRecords) {
        std::size_t end = input.find(kRecordSeparator, start);
        if (end == std::string_view::npos)
            end = input.size();
        const std::string_view chunk = input.substr(start, end - start);
        if (!chunk.empty())
            records.push_back({static_cast<std::uint8_t>(chunk.front()), chunk.substr(1)});
        start = end + 1;
    }
    return records;
}

} // namespace nimbrel::fuzzing
