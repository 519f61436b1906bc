#pragma once
// Splitting of ";"-separated protocol texts.

#include <string>
#include <vector>

namespace nimbrel {

// Cuts text at every delimiter. Each part is the text before a delimiter (possibly empty);
// the text after the last delimiter is not a part, so "a;b;c" gives only "a" and "b" and a
// text without a delimiter gives no parts at all. Parts are returned untouched.
std::vector<std::string> split_string(const std::string& text, char delimiter);

// True when needle occurs in text as a case-sensitive run of bytes.
bool contains(const std::string& text, const std::string& needle);

} // namespace nimbrel
