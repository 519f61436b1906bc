#include "util/text.h"

namespace nimbrel {

std::vector<std::string> split_string(const std::string& text, char delimiter)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    // Text after the last delimiter is deliberately dropped: callers count complete parts only.
    for (auto pos = text.find(delimiter, start); pos != std::string::npos;
         pos = text.find(delimiter, start)) {
        parts.emplace_back(text, start, pos - start);
        start = pos + 1;
    }
    return parts;
}

bool contains(const std::string& text, const std::string& needle)
{
    return text.find(needle) != std::string::npos;
}

} // namespace nimbrel
