#include "config/scramble.h"

namespace nimbrel {

std::string scramble_text(const std::string& text, const std::string& key)
{
    if (key.empty()) {
        return text;
    }
    std::string result(text.size(), '\0');
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        const auto t = static_cast<unsigned char>(text[i]);
        const auto k = static_cast<unsigned char>(key[i % key.size()]);
        result[i] = static_cast<char>(t ^ k);
    }
    return result;
}

} // namespace nimbrel
