#pragma once
// Dotted-quad IPv4 addresses as 32-bit values: the first octet in the most significant byte.
// The value 0 stands both for 0.0.0.0 and for text that is not a dotted quad.

#include <cstdint>
#include <string>

namespace nimbrel {

using AddressValue = std::uint32_t;

// Reads four decimal octets joined by '.', each below 256 however many digits it has; an empty
// octet reads as 0 and text after the fourth octet is ignored. Malformed text gives 0.
AddressValue ip_to_int(const std::string& text);

// The four bytes of value, most significant first, as "%d.%d.%d.%d".
std::string int_to_ip(AddressValue value);

// ip_to_int(a) - ip_to_int(b) modulo 2^32, read as signed: below 0 when a sorts before b.
std::int32_t ip_distance(const std::string& a, const std::string& b);

// The same wrapped difference on values already converted.
std::int32_t ip_distance(AddressValue a, AddressValue b);

// True when a and b agree on every bit set in mask; the mask is used as it is, so a malformed
// or empty mask (value 0) puts any two addresses in one subnet.
bool same_subnet(const std::string& a, const std::string& b, const std::string& mask);

} // namespace nimbrel
