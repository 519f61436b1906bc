#include "devsim/file_message.h"

#include <numeric>

namespace nimbrel::devsim {

namespace {

unsigned char byte_at(std::string_view text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]);
}

unsigned char key_byte(std::string_view key, std::size_t i)
{
    return key.empty() ? 0 : byte_at(key, i % key.size());
}

bool key_fits(std::string_view bytes, std::string_view head, std::string_view key)
{
    for (std::size_t i = 0; i < head.size(); ++i) {
        if ((byte_at(bytes, i) ^ key_byte(key, i)) != byte_at(head, i)) {
            return false;
        }
    }
    return true;
}

std::string unscramble(std::string_view bytes, std::string_view key)
{
    std::string plain(bytes);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<char>(byte_at(bytes, i) ^ key_byte(key, i));
    }
    return plain;
}

} // namespace

std::optional<std::string> recover_key(std::string_view bytes, std::string_view device_address)
{
    const std::string head = std::string(device_address) + "\ncreate_file\n";
    if (bytes.size() < head.size()) {
        return std::nullopt;
    }
    std::string key;
    for (std::size_t length = 0; length <= max_key_length; ++length) {
        key.resize(length);
        for (std::size_t j = 0; j < length; ++j) {
            key[j] = static_cast<char>(byte_at(bytes, j) ^ byte_at(head, j));
        }
        if (key_fits(bytes, head, key)) {
            return key;
        }
    }
    return std::nullopt;
}

std::optional<FileMessage> parse_file_message(std::string_view bytes,
                                              std::string_view device_address)
{
    auto key = recover_key(bytes, device_address);
    if (!key) {
        return std::nullopt;
    }
    const std::string plain = unscramble(bytes, *key);
    const auto path_start = device_address.size() + std::string_view("\ncreate_file\n").size();
    const auto path_end = plain.find('\n', path_start);
    if (path_end == std::string::npos) {
        return std::nullopt;
    }
    return FileMessage{std::move(*key), plain.substr(path_start, path_end - path_start),
                       plain.substr(path_end + 1)};
}

bool same_key_stream(std::string_view a, std::string_view b, std::size_t length)
{
    // Both streams repeat after lcm(|a|, |b|) bytes, so comparing beyond that adds nothing.
    const std::size_t period =
        std::lcm(std::max<std::size_t>(a.size(), 1), std::max<std::size_t>(b.size(), 1));
    for (std::size_t i = 0; i < std::min(length, period); ++i) {
        if (key_byte(a, i) != key_byte(b, i)) {
            return false;
        }
    }
    return true;
}

bool is_safe_device_path(std::string_view path)
{
    if (path.size() < 2 || path.front() != '/' || path.back() == '/') {
        return false;
    }
    return path.find("..") == std::string_view::npos && path.find('\0') == std::string_view::npos &&
           path.find("//") == std::string_view::npos;
}

} // namespace nimbrel::devsim
