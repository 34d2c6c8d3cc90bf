#pragma once

#include <memory>
#include <string>

namespace plenvo::sim {

// A fixed name for the device, which changes with every start of the
// simulator: a symbolic link that lives as long as this object.
class DeviceLink {
public:
    // Nullptr, with the reason in `error`, when the link cannot be made.
    // A symbolic link already at `path` is taken for one left behind and
    // replaced; anything else there is left alone.
    static std::unique_ptr<DeviceLink> make(const std::string& path, const std::string& device,
                                            std::string& error);
    ~DeviceLink();

    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

private:
    DeviceLink(std::string path, std::string device);

    std::string path_;
    std::string device_;
};

}  // namespace plenvo::sim
