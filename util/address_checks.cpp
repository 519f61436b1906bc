#include "util/address_checks.h"

#include "util/address.h"

namespace nimbrel {

bool is_dotted_quad(const std::string& text)
{
    std::size_t pos = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        const std::size_t start = pos;
        int value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        const std::size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return false;
    }
    return pos == text.size();
}

bool is_valid_host_address(const std::string& text)
{
    if (!is_dotted_quad(text))
        return false;
    const AddressValue value = ip_to_int(text);
    return value != 0 && value != 0xFFFFFFFFu;
}

bool is_valid_gateway(const std::string& text)
{
    return is_dotted_quad(text);
}

bool is_valid_netmask(const std::string& text)
{
    if (!is_dotted_quad(text))
        return false;
    const AddressValue mask = ip_to_int(text);
    // Contiguous ones from the top means the inverted mask is of the form 0...01...1.
    const AddressValue host_bits = ~mask;
    return mask != 0 && (host_bits & (host_bits + 1)) == 0;
}

} // namespace nimbrel
