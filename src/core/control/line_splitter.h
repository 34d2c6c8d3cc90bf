#pragma once

// Cuts the bytes of a connection, as they come in chunks of any size, into
// lines. A line ends in LF or CR LF and holds at most kMaxLine bytes before
// that; a longer one is reported once, as soon as it passes the cap, and the
// rest of it is dropped up to its line end. Holds at most kMaxLine + 1 bytes,
// however much a client sends.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::control {

inline constexpr size_t kMaxLine = 1024;

class LineSplitter {
public:
    struct Line {
        std::string text;  // without its line end; empty when overlong
        bool overlong = false;
        bool operator==(const Line&) const = default;
    };

    // The lines this chunk completes, in order.
    std::vector<Line> feed(std::string_view chunk);

    // The last line when the connection ends without a line end after it.
    std::optional<Line> finish();

private:
    void take(char byte, std::vector<Line>& lines);
    Line cut();

    std::string pending_;
    bool dropping_ = false;
};

}  // namespace plenvo::control
