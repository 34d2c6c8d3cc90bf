#pragma once

#include <QSocketNotifier>

#include <memory>
#include <string>

#include "sim/line.h"
#include "sim/unique_fd.h"

namespace plenvo::sim {

// A pseudo-terminal whose far end the panel opens as if it were a serial
// port. The unit keeps the far end open itself, raw at 9600 baud, so the
// panel may close and reopen the port as often as it likes: the line never
// hangs up, and nothing echoes or translates the bytes.
class PtyLine : public Line {
public:
    // Nullptr, with the reason in `error`, when no pseudo-terminal is to be had.
    static std::unique_ptr<PtyLine> open(std::string& error);

    std::string device() const override { return device_; }
    void write(std::span<const uint8_t> bytes) override;

private:
    PtyLine(UniqueFd master, UniqueFd device_end, UniqueFd close_watch, std::string device);

    void read_from_panel();
    bool write_all(std::span<const uint8_t> bytes) const;
    void lift_exclusive_use();

    UniqueFd master_;
    UniqueFd device_end_;
    UniqueFd close_watch_;
    std::string device_;
    QSocketNotifier from_panel_;
    QSocketNotifier device_closed_;
};

}  // namespace plenvo::sim
