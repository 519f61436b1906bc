#pragma once
// Accepted files on disk, one folder per device, so demos and tests can inspect what was written.

#include "devsim/file_message.h"

#include <filesystem>
#include <string>
#include <vector>

namespace nimbrel::devsim {

// Stores files under <dir>/<address>/<path without its leading '/'>, creating directories. Checks
// every path with is_safe_device_path before writing anything; returns false with a reason when
// a path is refused or a write fails.
bool store_device_files(const std::filesystem::path& dir, const std::string& address,
                        const std::vector<FileMessage>& files, std::string& error);

} // namespace nimbrel::devsim
