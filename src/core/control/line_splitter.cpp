#include "control/line_splitter.h"

namespace plenvo::control {

std::vector<LineSplitter::Line> LineSplitter::feed(std::string_view chunk)
{
    std::vector<Line> lines;
    for (const char byte : chunk)
        take(byte, lines);
    return lines;
}

std::optional<LineSplitter::Line> LineSplitter::finish()
{
    dropping_ = false;
    if (pending_.empty())
        return std::nullopt;
    return cut();
}

void LineSplitter::take(char byte, std::vector<Line>& lines)
{
    if (byte == '\n') {
        if (!dropping_)
            lines.push_back(cut());
        dropping_ = false;
        return;
    }
    if (dropping_)
        return;
    pending_.push_back(byte);
    // One byte over the cap may still be the CR of a CR LF.
    const bool cr_of_full_line = pending_.size() == kMaxLine + 1 && byte == '\r';
    if (pending_.size() > kMaxLine && !cr_of_full_line) {
        lines.push_back({{}, true});
        pending_.clear();
        dropping_ = true;
    }
}

LineSplitter::Line LineSplitter::cut()
{
    if (!pending_.empty() && pending_.back() == '\r')
        pending_.pop_back();
    Line line{std::move(pending_), false};
    pending_.clear();
    return line;
}

}  // namespace plenvo::control
