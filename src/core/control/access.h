#pragma once

// Who may use a door that listens on the network, and how much: the checks
// that keep a web page in a browser from using the control protocol, the
// token a client on another machine shows, and each client's pace.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::control {

// A line that belongs to an HTTP request rather than to the control
// protocol: a request line ("POST / HTTP/1.1") or a header ("Host: ...").
// A browser can be made to send such lines to any port of its machine; a
// connection that sends one is closed before anything it sent is carried
// out.
bool is_http_line(std::string_view line);

// The token of an "auth TOKEN" line, or nullopt when the line is none.
std::optional<std::string_view> auth_token(std::string_view line);

// Compares a token given by a client with the right one in a time that does
// not tell how much of it was right.
bool same_token(std::string_view given, std::string_view token);

// The host and port a Host header or an origin's authority names, the
// host in lower case and without brackets; the port is `default_port`
// when none is written. Nullopt when the text is none.
struct Authority {
    std::string host;
    uint16_t port = 0;
    bool operator==(const Authority&) const = default;
};
std::optional<Authority> parse_authority(std::string_view text, uint16_t default_port);

// Whether a request's Host header names this server: one of `names` (its
// addresses and host names, in lower case) at `port`. A page on another
// site that made its name point at this machine (DNS rebinding) sends its
// own name, and is refused.
bool host_allowed(std::string_view host_header, const std::vector<std::string>& names, uint16_t port);

// Whether an Origin header is this server's own, as the Host header names
// it. No origin at all (a program, not a browser) is the server's own.
bool origin_allowed(std::string_view origin, std::string_view host_header);

// At most `per_second` commands in any second; those beyond are refused.
class RateLimit {
public:
    explicit RateLimit(int per_second) : per_second_(per_second) {}
    // Whether a command at `now_ms` may be carried out; counts it if so.
    bool take(uint64_t now_ms);
    // The same, now by the steady clock.
    bool take_now();

private:
    int per_second_;
    uint64_t window_start_ = 0;
    int taken_ = 0;
};

}  // namespace plenvo::control
