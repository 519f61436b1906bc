#include "util/address.h"

#include <cstdio>
#include <optional>

namespace nimbrel {

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads one octet's digit run starting at pos and leaves pos on the character that ends it.
// Stops accumulating at 256 so that arbitrarily long runs cannot overflow.
std::optional<unsigned> read_octet(const std::string& text, std::string::size_type& pos)
{
    unsigned value = 0;
    bool too_large = false;
    for (; pos < text.size() && is_digit(text[pos]); ++pos) {
        if (!too_large) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            too_large = value > 255;
        }
    }
    if (too_large) {
        return std::nullopt;
    }
    return value;
}

} // namespace

AddressValue ip_to_int(const std::string& text)
{
    AddressValue result = 0;
    std::string::size_type pos = 0;
    for (int octet_index = 0; octet_index < 4; ++octet_index) {
        const auto octet = read_octet(text, pos);
        if (!octet) {
            return 0;
        }
        if (octet_index < 3) {
            if (pos >= text.size() || text[pos] != '.') {
                return 0;
            }
            ++pos;
        }
        result = (result << 8) | *octet;
    }
    return result;
}

std::string int_to_ip(AddressValue value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", static_cast<unsigned>((value >> 24) & 255U),
                  static_cast<unsigned>((value >> 16) & 255U),
                  static_cast<unsigned>((value >> 8) & 255U), static_cast<unsigned>(value & 255U));
    return buffer;
}

std::int32_t ip_distance(AddressValue a, AddressValue b)
{
    // The wrap is intended: callers order by this signed reading, not by address magnitude.
    return static_cast<std::int32_t>(a - b);
}

std::int32_t ip_distance(const std::string& a, const std::string& b)
{
    return ip_distance(ip_to_int(a), ip_to_int(b));
}

bool same_subnet(const std::string& a, const std::string& b, const std::string& mask)
{
    const AddressValue m = ip_to_int(mask);
    return (ip_to_int(a) & m) == (ip_to_int(b) & m);
}

} // namespace nimbrel
