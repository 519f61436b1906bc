#pragma once
// How a device reads the scrambled file-writing messages the tool broadcasts.

#include <optional>
#include <string>
#include <string_view>

namespace nimbrel::devsim {

inline constexpr std::size_t max_key_length = 4;

struct FileMessage {
    std::string key; // the shortest key that reproduces the message's known head
    std::string path;
    std::string content;
};

// The key a message for device_address was scrambled with: every such message starts with
// device_address + "\ncreate_file\n", so those bytes give the key stream away. Returns the
// shortest key of 0 to max_key_length bytes consistent with the whole head, or nothing when no
// key fits (the message is not for this device).
std::optional<std::string> recover_key(std::string_view bytes, std::string_view device_address);

// The path and content of a message for device_address, or nothing when the message is not for
// this device or has no path line. Never fails on any input.
std::optional<FileMessage> parse_file_message(std::string_view bytes,
                                              std::string_view device_address);

// True when keys a and b scramble the first length bytes of any text identically; an empty key
// counts as a stream of zero bytes.
bool same_key_stream(std::string_view a, std::string_view b, std::size_t length);

// A path the simulator may store under its files directory: absolute, no "..", no empty file
// name, no zero byte.
bool is_safe_device_path(std::string_view path);

} // namespace nimbrel::devsim
