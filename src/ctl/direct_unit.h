#pragma once

#include <QString>

#include <bitset>
#include <optional>

#include "control/setting_table.h"
#include "ctl/unit_access.h"
#include "unit/link.h"
#include "lines/qt_serial_control.h"
#include "base/qt_platform.h"

class QEventLoop;

namespace plenvo::ctl {

// The unit on a line of plenvo-ctl's own, through the panel's link: the same
// frames, re-sends and time-outs as the panel's.
class DirectUnit final : public UnitAccess, private LinkListener {
public:
    explicit DirectUnit(QString device);
    ~DirectUnit() override;

    // Empty, or why the line cannot be opened.
    std::string open();

    StateRead read_state(bool line_needed_after) override;
    std::string apply(std::span<const control::Assignment> settings) override;
    std::string watch(bool json) override;

private:
    void link_message(const QString&) override {}
    void link_port_changed() override {}
    void link_port_failed(int port, const QString& reason) override;
    void link_frame_applied(const protocol::Frame& frame, int code) override;
    bool all_reported() const { return reported_.all(); }
    std::string trouble() const;

    QString device_;
    QtPlatform platform_;
    QtSerialControl serial_;
    DeviceState state_;
    Link link_;
    std::bitset<control::kSettings.size()> reported_;
    bool reading_state_ = false;
    bool close_when_reported_ = false;
    std::optional<bool> watch_json_;
    QEventLoop* waiting_ = nullptr;
};

}  // namespace plenvo::ctl
