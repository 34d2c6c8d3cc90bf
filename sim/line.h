#pragma once

// The unit's end of the serial line to the panel: a pseudo-terminal or a
// real port.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace plenvo::sim {

class Line {
public:
    virtual ~Line() = default;

    // The device the panel opens.
    virtual std::string device() const = 0;
    // Puts bytes on the line without waiting for them to be sent.
    virtual void write(std::span<const uint8_t> bytes) = 0;

    // Called with the bytes that arrived from the panel.
    std::function<void(std::span<const uint8_t>)> on_received;

protected:
    void deliver(std::span<const uint8_t> bytes) const
    {
        if (on_received)
            on_received(bytes);
    }
};

}  // namespace plenvo::sim
