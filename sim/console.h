#pragma once

#include <QSocketNotifier>

#include <functional>
#include <string>

namespace plenvo::sim {

// Standard input, a line at a time, read from the event loop so that
// typing never holds up the line to the panel.
class Console {
public:
    // `on_line` returns false to stop reading (the operator said quit).
    Console(std::function<bool(const std::string&)> on_line, std::function<void()> on_end);

private:
    void read_input();

    std::string pending_;
    std::function<bool(const std::string&)> on_line_;
    std::function<void()> on_end_;
    QSocketNotifier input_;
};

}  // namespace plenvo::sim
