#include "devices/port_devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#include "devices/settings_file.h"
#include "lines/line_device.h"

namespace plenvo {

namespace {

// Two lines of devices; anything far larger is not a devices file.
constexpr qint64 kMaxFileBytes = 64 * 1024;

#ifdef Q_OS_WIN
const char* const kBuiltInPorts[] = {"COM1", "COM2"};
#else
const char* const kBuiltInPorts[] = {"/dev/ttyS0", "/dev/ttyS1"};
#endif

QString key_of(int port)
{
    return QStringLiteral("com%1").arg(port);
}

// The port a "comN" key names, or 0.
int port_of(const QString& key)
{
    for (int port = 1; port <= kPortCount; ++port)
        if (key.compare(key_of(port), Qt::CaseInsensitive) == 0)
            return port;
    return 0;
}

bool comment_or_blank(const QString& line)
{
    return line.isEmpty() || line.startsWith('#') || line.startsWith(';');
}

}  // namespace

std::optional<QString> device_mistake(const QString& device)
{
    if (std::any_of(device.begin(), device.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return device.simplified() + QStringLiteral(": a device name holds no control characters");
    return validate_device(device);
}

PortDevices::PortDevices(QString path, Finder find) : path_(std::move(path)), find_(std::move(find))
{
    read();
}

PortDevices PortDevices::for_program(const QString& program_dir)
{
    const QFileInfo settings(SettingsFile::for_program(program_dir).path());
    return PortDevices(settings.dir().filePath(QString::fromLatin1(kDevicesFileName)));
}

void PortDevices::read()
{
    QFile file(path_);
    if (!file.exists())
        return;
    const QString problem = read_from(file);
    if (!problem.isEmpty())
        problem_ = problem + QStringLiteral("; the default devices are used");
}

QString PortDevices::read_from(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read (%2)").arg(path_, file.errorString());
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes)
        return QStringLiteral("%1 is too large to be a devices file").arg(path_);
    Contents contents = parse(text);
    if (!contents.problem.isEmpty())
        return path_ + QStringLiteral(", ") + contents.problem;
    chosen_ = std::move(contents.chosen);
    return {};
}

PortDevices::Contents PortDevices::parse(const QByteArray& text)
{
    Contents contents;
    const QStringList lines = QString::fromUtf8(text).split('\n');
    for (qsizetype at = 0; at < lines.size(); ++at) {
        const QString line = lines[at].trimmed();
        if (comment_or_blank(line))
            continue;
        const qsizetype equals = line.indexOf('=');
        const int port = equals < 0 ? 0 : port_of(line.left(equals).trimmed());
        const QString device = line.mid(equals + 1).trimmed();
        const std::optional<QString> mistake = port ? device_mistake(device) : std::nullopt;
        if (!port || mistake) {
            const QString why = port ? *mistake : QStringLiteral("not com1=DEVICE or com2=DEVICE");
            return {{}, QStringLiteral("line %1: %2").arg(at + 1).arg(why)};
        }
        contents.chosen[port] = device;
    }
    return contents;
}

QByteArray PortDevices::format(const std::map<int, QString>& chosen)
{
    QByteArray text =
        "# The devices behind the panel's ports: a path, socket://HOST:PORT or rfc2217://HOST:PORT.\n";
    for (const auto& [port, device] : chosen)
        text += key_of(port).toUtf8() + '=' + device.toUtf8() + '\n';
    return text;
}

QString PortDevices::default_device(int port, const std::vector<SerialDevice>& found)
{
    QStringList candidates;
    for (const SerialDevice& device : found)
        if (device.adapter)
            candidates << device.path;
    for (const char* built_in : kBuiltInPorts)
        candidates << QString::fromLatin1(built_in);
    return candidates.value(port - 1);
}

std::optional<QString> PortDevices::chosen(int port) const
{
    if (const auto it = chosen_.find(port); it != chosen_.end())
        return it->second;
    return std::nullopt;
}

QString PortDevices::device(int port) const
{
    if (const std::optional<QString> device = chosen(port))
        return *device;
    return default_device(port, find_());
}

std::optional<QString> PortDevices::choose(int port, const QString& device)
{
    if (const std::optional<QString> mistake = device_mistake(device))
        return mistake;
    chosen_[port] = device;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    const QByteArray text = format(chosen_);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return std::nullopt;
    return QStringLiteral("cannot keep the devices in %1 (%2)").arg(path_, file.errorString());
}

}  // namespace plenvo
