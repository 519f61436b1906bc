// split_string and contains on any bytes, checked against properties every text must keep.

#include "fuzz_support.h"
#include "util/text.h"

#include <algorithm>
#include <string>

namespace {

using nimbrel::contains;
using nimbrel::split_string;

void check_split(const std::string& text, char delimiter)
{
    const std::vector<std::string> parts = split_string(text, delimiter);
    FUZZ_CHECK(parts.size() ==
               static_cast<std::size_t>(std::count(text.begin(), text.end(), delimiter)));
    // Each part followed by the delimiter rebuilds the text up to its last delimiter.
    std::string rebuilt;
    for (const std::string& part : parts) {
        FUZZ_CHECK(part.find(delimiter) == std::string::npos);
        FUZZ_CHECK(contains(text, part));
        rebuilt += part;
        rebuilt += delimiter;
    }
    const std::size_t last = text.rfind(delimiter);
    FUZZ_CHECK(rebuilt == (last == std::string::npos ? std::string() : text.substr(0, last + 1)));
}

bool naive_contains(const std::string& text, const std::string& needle)
{
    if (needle.size() > text.size())
        return false;
    for (std::size_t at = 0; at + needle.size() <= text.size(); ++at)
        if (std::equal(needle.begin(), needle.end(), text.begin() + static_cast<long>(at)))
            return true;
    return false;
}

// The first byte cuts a short needle off the front, so hits and near misses are both common.
void check_contains(const std::string& input)
{
    if (input.empty())
        return;
    const std::size_t length =
        std::min<std::size_t>(static_cast<unsigned char>(input[0]) % 16, input.size() - 1);
    const std::string needle = input.substr(1, length);
    const std::string text = input.substr(1 + length);
    FUZZ_CHECK(contains(text, needle) == naive_contains(text, needle));
    FUZZ_CHECK(contains(text + needle, needle));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(nimbrel::fuzzing::as_text(data, size));
    check_split(text, ';');
    if (!text.empty())
        check_split(text.substr(1), text[0]); // any delimiter, '\0' and bytes above 0x7F included
    check_contains(text);
    return 0;
}
