#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>

#include "sim/unique_fd.h"

namespace plenvo::sim {

// Turns SIGINT and SIGTERM into a call from the event loop, so that the
// simulator ends the same clean way as on "quit". The handler only writes
// a byte to a socket; everything else happens outside it.
class StopSignals {
public:
    // Nullptr, with the reason in `error`, when the handlers cannot be set.
    static std::unique_ptr<StopSignals> install(std::function<void()> on_stop, std::string& error);
    ~StopSignals();

private:
    StopSignals(UniqueFd handler_end, UniqueFd loop_end, std::function<void()> on_stop);

    UniqueFd handler_end_;
    UniqueFd loop_end_;
    QSocketNotifier arrived_;
    std::function<void()> on_stop_;
};

}  // namespace plenvo::sim
