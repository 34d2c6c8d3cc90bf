#include "control/access.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "control/text.h"

namespace plenvo::control {

namespace {

// The characters of an HTTP method or header name.
bool is_token_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string lower(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

}  // namespace

bool is_http_line(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(line);
    if (words.empty())
        return false;
    if (words.size() == 3 && words[2].starts_with("HTTP/"))
        return true;
    const size_t colon = words[0].find(':');
    return colon != std::string_view::npos && colon > 0 &&
           std::all_of(words[0].begin(), words[0].begin() + std::ptrdiff_t(colon), is_token_char);
}

std::optional<std::string_view> auth_token(std::string_view line)
{
    const std::vector<std::string_view> words = words_of(line);
    if (words.size() != 2 || !same_word(words[0], "auth"))
        return std::nullopt;
    return words[1];
}

bool same_token(std::string_view given, std::string_view token)
{
    // Every byte of the right token is looked at, whatever was given.
    unsigned difference = given.size() == token.size() ? 0 : 1;
    for (size_t i = 0; i < token.size(); ++i)
        difference |= unsigned(static_cast<unsigned char>(token[i]) ^
                               static_cast<unsigned char>(i < given.size() ? given[i] : 0));
    return difference == 0 && !token.empty();
}

std::optional<Authority> parse_authority(std::string_view text, uint16_t default_port)
{
    if (text.empty())
        return std::nullopt;
    Authority result;
    std::string_view rest;
    if (text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        result.host = lower(text.substr(1, close - 1));
        rest = text.substr(close + 1);
    } else {
        const size_t colon = text.find(':');
        result.host = lower(text.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    }
    if (result.host.empty() || std::ranges::any_of(result.host, [](char c) { return c == '/' || c == '@' || c == ' '; }))
        return std::nullopt;
    if (rest.empty()) {
        result.port = default_port;
        return result;
    }
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6)
        return std::nullopt;
    unsigned port = 0;
    for (const char c : rest.substr(1)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        port = port * 10 + unsigned(c - '0');
    }
    if (port == 0 || port > 65535)
        return std::nullopt;
    result.port = uint16_t(port);
    return result;
}

bool host_allowed(std::string_view host_header, const std::vector<std::string>& names, uint16_t port)
{
    const std::optional<Authority> host = parse_authority(host_header, 80);
    return host && host->port == port && std::ranges::find(names, host->host) != names.end();
}

bool origin_allowed(std::string_view origin, std::string_view host_header)
{
    if (origin.empty())
        return true;
    constexpr std::string_view kScheme = "http://";
    if (!origin.starts_with(kScheme))
        return false;
    const std::optional<Authority> from = parse_authority(origin.substr(kScheme.size()), 80);
    return from && from == parse_authority(host_header, 80);
}

bool RateLimit::take_now()
{
    using namespace std::chrono;
    return take(uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()));
}

bool RateLimit::take(uint64_t now_ms)
{
    if (now_ms - window_start_ >= 1000 || now_ms < window_start_) {
        window_start_ = now_ms;
        taken_ = 0;
    }
    if (taken_ >= per_second_)
        return false;
    ++taken_;
    return true;
}

}  // namespace plenvo::control
