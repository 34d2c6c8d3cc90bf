#include "lines/line_device.h"

#include <arpa/inet.h>

#include <algorithm>

namespace plenvo {

namespace {

struct Scheme {
    const char* prefix;
    LineDevice::Kind kind;
};

constexpr Scheme kSchemes[] = {
    {"socket://", LineDevice::Kind::RawTcp},
    {"rfc2217://", LineDevice::Kind::Rfc2217},
};

constexpr const char* kForms = "a device path, socket://HOST:PORT or rfc2217://HOST:PORT";

// Splits "HOST:PORT" or "[IPV6]:PORT"; an error names what is wrong.
std::optional<LineDevice> parse_address(const QString& device, const QString& address, QString& error)
{
    const qsizetype colon = address.lastIndexOf(':');
    QString host = address.left(colon);
    if (colon < 0 || colon == address.size() - 1) {
        error = device + ": no port number (HOST:PORT)";
        return std::nullopt;
    }
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(':')) {
        error = device + ": an IPv6 address goes in brackets, as [::1]:PORT";
        return std::nullopt;
    }
    if (host.isEmpty()) {
        error = device + ": no host name or address (HOST:PORT)";
        return std::nullopt;
    }
    bool number = false;
    const uint port = address.mid(colon + 1).toUInt(&number);
    if (!number || port < 1 || port > 65535) {
        error = device + ": port " + address.mid(colon + 1) + " is not a number from 1 to 65535";
        return std::nullopt;
    }
    LineDevice line;
    line.host = host;
    line.port = quint16(port);
    return line;
}

bool is_ascii_letter(QChar c)
{
    return c.unicode() < 0x80 && c.isLetter();
}

// "NAME://...", NAME spelt as a URL's scheme: a letter, then letters,
// digits, '+', '.' or '-'. Checked by hand, as a pattern would compile its
// engine at every start.
bool has_scheme(const QString& device)
{
    const qsizetype end = device.indexOf(QLatin1String("://"));
    return end > 0 && is_ascii_letter(device[0]) &&
           std::all_of(device.cbegin(), device.cbegin() + end, [](QChar c) {
               return is_ascii_letter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'.' || c == u'-';
           });
}

}  // namespace

std::optional<LineDevice> parse_device(const QString& device, QString& error)
{
    if (device.isEmpty()) {
        error = QStringLiteral("no device given (%1)").arg(kForms);
        return std::nullopt;
    }
    for (const Scheme& scheme : kSchemes) {
        const QLatin1String prefix(scheme.prefix);
        if (!device.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        std::optional<LineDevice> line = parse_address(device, device.mid(prefix.size()), error);
        if (line)
            line->kind = scheme.kind;
        return line;
    }
    if (has_scheme(device)) {
        error = QStringLiteral("%1: unknown kind of line (%2)").arg(device, kForms);
        return std::nullopt;
    }
    LineDevice line;
    line.path = device;
    return line;
}

QString device_string(const LineDevice& line)
{
    const auto scheme = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                                     [&](const Scheme& s) { return s.kind == line.kind; });
    if (scheme == std::end(kSchemes))
        return line.path;
    return QLatin1String(scheme->prefix) + host_and_port(line.host, line.port);
}

QString host_and_port(const QString& host, quint16 port)
{
    return (host.contains(':') ? '[' + host + ']' : host) + ':' + QString::number(port);
}

std::optional<QString> validate_device(const QString& device)
{
    QString error;
    if (parse_device(device, error))
        return std::nullopt;
    return error;
}

bool is_ip_address(const QString& host)
{
    // The C library's parser: Qt's lives in its network module.
    const QByteArray text = host.toLatin1();
    unsigned char bytes[16];
    if (::inet_pton(AF_INET, text.constData(), bytes) == 1)
        return true;
    const qsizetype scope = text.indexOf('%');
    return scope != 0 && scope != text.size() - 1 &&
           ::inet_pton(AF_INET6, (scope < 0 ? text : text.left(scope)).constData(), bytes) == 1;
}

}  // namespace plenvo
