#pragma once

#include <QString>

#include <optional>
#include <string>

namespace plenvo {

class UnitModel;

// The port's line as the doors tell it: open with the unit answering, open
// with the unit silent, or not working, each with its reason.
struct LineState {
    enum class Kind { Opened, NotAnswering, Error };
    int port = 0;
    Kind kind = Kind::Error;
    // Why it is silent or not working; empty while the line is open.
    QString reason;
    bool operator==(const LineState&) const = default;
};

LineState line_state(const UnitModel& model);

// The watch line for a change of the line: "port COM1 opened",
// "port COM1 not answering: WHY", "port COM1 error: WHY", or as JSON
// {"port": "COM1", "state": "error", "reason": "WHY"}.
std::string watch_line(const LineState& line, bool json);

// The changes of the line for the program's log, one line each: "COM1:
// opened", "COM1: lost: WHY", "COM1: back", "COM1: not answering: WHY",
// "COM1: answering again", "COM1: can't work: WHY".
class LineLog {
public:
    // The line for `now`, or empty when nothing changed.
    QString next(const LineState& now);

private:
    std::optional<LineState> last_;
    // The port of `last_` has been open since it was chosen.
    bool was_open_ = false;
};

}  // namespace plenvo
