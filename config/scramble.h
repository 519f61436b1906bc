#pragma once

#include <string>

namespace nimbrel {

// Repeating-key exclusive-or of text with key, byte by byte. Zero bytes are kept, so the result
// always has the text's length; an empty key returns the text unchanged. Applying it twice with
// the same key gives the text back.
std::string scramble_text(const std::string& text, const std::string& key);

} // namespace nimbrel
