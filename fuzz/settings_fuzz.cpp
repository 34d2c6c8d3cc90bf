// Any bytes as the settings file: reading never fails, every value it takes
// is the one the text holds, and what start-up goes on with is written back
// as three lines that read the same.

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "devices/settings_file.h"
#include "fuzz_check.h"

namespace {

using plenvo::SettingsFile;
using plenvo::fuzz::require;

// What start-up takes for a missing value; the round trip holds for any.
constexpr int32_t kDefaultPlace = 0;
constexpr int16_t kDefaultPort = 1;

// The file's values: each ends at a line end (CR LF, CR or LF) or a comma.
std::vector<std::string_view> fields_of(std::string_view text)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n' && text[i] != ',')
            continue;
        fields.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}

std::string_view trimmed(std::string_view field)
{
    constexpr std::string_view kBlanks = " \t\v\f";
    const size_t first = field.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return field.substr(first, field.find_last_not_of(kBlanks) - first + 1);
}

bool all_digits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The number a field holds, blanks around it allowed: decimal digits after
// an optional sign. Empty for anything else, or beyond ±10^18.
std::optional<int64_t> number_in(std::string_view field)
{
    field = trimmed(field);
    const bool negative = !field.empty() && field.front() == '-';
    if (!field.empty() && (field.front() == '-' || field.front() == '+'))
        field.remove_prefix(1);
    if (!all_digits(field))
        return std::nullopt;
    int64_t value = 0;
    for (const char c : field) {
        if (value > 100'000'000'000'000'000)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// The way the panel itself writes a number: no plus sign.
bool as_written(std::string_view field)
{
    field = trimmed(field);
    return !field.empty() && field.front() != '+';
}

template <typename Int>
void check_value(const std::optional<Int>& read, const std::vector<std::string_view>& fields, size_t at)
{
    const std::optional<int64_t> held = at < fields.size() ? number_in(fields[at]) : std::nullopt;
    if (read) {
        require(held && *held == *read, "a value was read that the text does not hold");
        return;
    }
    const bool fits = held && *held >= std::numeric_limits<Int>::min() && *held <= std::numeric_limits<Int>::max();
    require(!fits || !as_written(fields[at]), "a value the text holds was not read");
}

// Optional minus, digits, no leading zero, no "-0".
bool plain_decimal(std::string_view line)
{
    const bool negative = !line.empty() && line.front() == '-';
    const std::string_view digits = negative ? line.substr(1) : line;
    return all_digits(digits) && (digits.size() == 1 || digits.front() != '0') && !(negative && digits == "0");
}

void check_written(int32_t top, int32_t left, int16_t port)
{
    const QByteArray text = SettingsFile::format(top, left, port);
    const std::string_view rest(text.constData(), size_t(text.size()));
    int lines = 0;
    for (size_t at = 0; at < rest.size(); ++lines) {
        const size_t end = rest.find("\r\n", at);
        require(end != std::string_view::npos, "a written line does not end in CR LF");
        const std::string_view line = rest.substr(at, end - at);
        require(plain_decimal(line), "a written line is not a plain decimal number");
        at = end + 2;
    }
    require(lines == 3, "the written file does not have three lines");
    require(SettingsFile::parse(text) == SettingsFile::Values{top, left, port},
            "the written file reads back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const SettingsFile::Values read = SettingsFile::parse(text);

    const std::vector<std::string_view> fields = fields_of({text.constData(), size_t(text.size())});
    check_value(read.win_top, fields, 0);
    check_value(read.win_left, fields, 1);
    check_value(read.com_port, fields, 2);

    check_written(read.win_top.value_or(kDefaultPlace), read.win_left.value_or(kDefaultPlace),
                  read.com_port.value_or(kDefaultPort));
    return 0;
}
