// The address helpers on any text: the input's lines are two addresses and a mask, and its first
// eight bytes are also read as two address values.

#include "fuzz_support.h"
#include "util/address.h"
#include "util/address_checks.h"

#include <array>
#include <cstring>
#include <string>

namespace {

using namespace nimbrel;

// ip_to_int as its header describes it, written independently: leading zeros are skipped
// before the octet's digits are counted.
AddressValue reference_ip_to_int(std::string_view text)
{
    AddressValue result = 0;
    for (int octet = 0; octet < 4; ++octet) {
        std::string_view digits = text.substr(0, text.find_first_not_of("0123456789"));
        text.remove_prefix(digits.size());
        digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
        unsigned value = 0;
        for (const char c : digits.substr(0, 4))
            value = value * 10 + static_cast<unsigned>(c - '0');
        if (digits.size() > 3 || value > 255)
            return 0;
        if (octet < 3) {
            if (text.empty() || text.front() != '.')
                return 0;
            text.remove_prefix(1);
        }
        result = (result << 8) | value;
    }
    return result;
}

bool reference_is_dotted_quad(std::string_view text)
{
    for (int octet = 0; octet < 4; ++octet) {
        const std::size_t end = octet < 3 ? text.find('.') : text.size();
        if (end == std::string_view::npos)
            return false;
        const std::string_view field = text.substr(0, end);
        const bool digits_only =
            !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digits_only || field.size() > 3 || (field.size() > 1 && field[0] == '0') ||
            std::stoi(std::string(field)) > 255)
            return false;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return true;
}

bool contiguous_from_top(AddressValue mask)
{
    bool seen_zero = false;
    for (int bit = 31; bit >= 0; --bit) {
        const bool one = ((mask >> bit) & 1U) != 0;
        if (one && seen_zero)
            return false;
        seen_zero = seen_zero || !one;
    }
    return true;
}

void check_text(const std::string& text)
{
    const AddressValue value = ip_to_int(text);
    FUZZ_CHECK(value == reference_ip_to_int(text));
    FUZZ_CHECK(ip_to_int(int_to_ip(value)) == value);

    const bool quad = is_dotted_quad(text);
    FUZZ_CHECK(quad == reference_is_dotted_quad(text));
    if (quad)
        FUZZ_CHECK(int_to_ip(value) == text);
    FUZZ_CHECK(is_valid_gateway(text) == quad);
    FUZZ_CHECK(is_valid_host_address(text) == (quad && value != 0 && value != 0xFFFFFFFFu));
    FUZZ_CHECK(is_valid_netmask(text) == (quad && value != 0 && contiguous_from_top(value)));
}

void check_value(AddressValue value)
{
    const std::string text = int_to_ip(value);
    FUZZ_CHECK(ip_to_int(text) == value);
    FUZZ_CHECK(is_dotted_quad(text));
}

// Unsigned arithmetic throughout: the negation of INT32_MIN must not be computed as signed.
void check_distance(AddressValue a, AddressValue b)
{
    const auto forward = static_cast<std::uint32_t>(ip_distance(a, b));
    const auto backward = static_cast<std::uint32_t>(ip_distance(b, a));
    FUZZ_CHECK(forward == a - b);
    FUZZ_CHECK(forward + backward == 0U);
    FUZZ_CHECK(ip_distance(int_to_ip(a), int_to_ip(b)) == ip_distance(a, b));
    // Within half the address space the order is the plain ascending one.
    if (a >= b && a - b < 0x80000000U)
        FUZZ_CHECK(ip_distance(a, b) >= 0);
    if (a < b && b - a <= 0x80000000U)
        FUZZ_CHECK(ip_distance(a, b) < 0);
}

void check_pair(const std::string& a, const std::string& b, const std::string& mask)
{
    const AddressValue va = ip_to_int(a);
    const AddressValue vb = ip_to_int(b);
    const AddressValue vm = ip_to_int(mask);
    FUZZ_CHECK(ip_distance(a, b) == ip_distance(va, vb));
    FUZZ_CHECK(ip_distance(a, a) == 0);
    check_distance(va, vb);
    const bool same = same_subnet(a, b, mask);
    FUZZ_CHECK(same == (((va ^ vb) & vm) == 0));
    FUZZ_CHECK(same == same_subnet(b, a, mask));
    FUZZ_CHECK(same_subnet(a, a, mask));
}

std::array<std::string, 3> lines_of(std::string_view input)
{
    std::array<std::string, 3> lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t end = i + 1 < lines.size() ? input.find('\n') : std::string_view::npos;
        lines[i] = std::string(input.substr(0, end));
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = nimbrel::fuzzing::as_text(data, size);
    check_text(std::string(input));
    const auto [a, b, mask] = lines_of(input);
    for (const std::string* text : {&a, &b, &mask})
        check_text(*text);
    check_pair(a, b, mask);

    if (size >= 8) {
        std::array<AddressValue, 2> values{};
        std::memcpy(values.data(), data, sizeof values);
        check_value(values[0]);
        check_value(values[1]);
        check_distance(values[0], values[1]);
    }
    return 0;
}
