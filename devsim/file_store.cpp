#include "devsim/file_store.h"

#include <fstream>
#include <system_error>

namespace nimbrel::devsim {

namespace {

bool write_file(const std::filesystem::path& target, const std::string& content, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) {
        error = "cannot create " + target.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
        error = "cannot write " + target.string();
        return false;
    }
    return true;
}

} // namespace

bool store_device_files(const std::filesystem::path& dir, const std::string& address,
                        const std::vector<FileMessage>& files, std::string& error)
{
    for (const auto& file : files) {
        if (!is_safe_device_path(file.path)) {
            error = "refused path \"" + file.path + "\"";
            return false;
        }
    }
    const auto device_dir = dir / address;
    for (const auto& file : files) {
        if (!write_file(device_dir / file.path.substr(1), file.content, error)) {
            return false;
        }
    }
    return true;
}

} // namespace nimbrel::devsim
