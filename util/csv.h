#pragma once
// Comma-separated files as RFC 4180 has them, and the Latin-1 to UTF-8 step their texts need:
// the protocol's texts are 8-bit Latin-1, the file is UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace nimbrel {

// Each byte as the Latin-1 character of that code, written in UTF-8.
std::string latin1_to_utf8(std::string_view latin1);

// The field as it goes into a line: in double quotes, with each quote doubled, when it holds a
// comma, a quote, a line break or a ";" (spreadsheets in many languages split at ";");
// otherwise as it is.
std::string csv_field(std::string_view text);

// The fields joined by commas, ended by CR LF.
std::string csv_line(const std::vector<std::string>& fields);

} // namespace nimbrel
