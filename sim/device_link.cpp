#include "sim/device_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace plenvo::sim {

namespace {

std::string link_target(const std::string& path)
{
    std::array<char, PATH_MAX> target{};
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
    return length < 0 ? std::string() : std::string(target.data(), size_t(length));
}

bool is_symbolic_link(const std::string& path)
{
    struct stat status{};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

}  // namespace

std::unique_ptr<DeviceLink> DeviceLink::make(const std::string& path, const std::string& device,
                                             std::string& error)
{
    if (is_symbolic_link(path))
        ::unlink(path.c_str());
    if (::symlink(device.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<DeviceLink>(new DeviceLink(path, device));
}

DeviceLink::DeviceLink(std::string path, std::string device)
    : path_(std::move(path)), device_(std::move(device))
{
}

// Another simulator may have taken the name over meanwhile; its link stays.
DeviceLink::~DeviceLink()
{
    if (link_target(path_) == device_)
        ::unlink(path_.c_str());
}

}  // namespace plenvo::sim
