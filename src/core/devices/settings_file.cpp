#include "devices/settings_file.h"

#include "devices/user_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace plenvo {

namespace {

// A value ends at a line end (CR LF, LF or CR) or at a comma.
QList<QByteArray> split_values(QByteArray text)
{
    text.replace("\r\n", "\n").replace('\r', '\n').replace(',', '\n');
    if (text.endsWith('\n'))
        text.chop(1);
    QList<QByteArray> values = text.split('\n');
    for (QByteArray& value : values)
        value = value.trimmed();
    return values;
}

template <typename Int>
std::optional<Int> to_int(const QList<QByteArray>& values, qsizetype at)
{
    if (at >= values.size())
        return std::nullopt;
    // A NUL would end the number early and pass what stands before it off
    // as the whole value.
    if (values[at].contains('\0'))
        return std::nullopt;
    bool ok = false;
    const qlonglong v = values[at].toLongLong(&ok);
    if (!ok || v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max())
        return std::nullopt;
    return Int(v);
}

}  // namespace

SettingsFile SettingsFile::for_program(const QString& program_dir)
{
    return SettingsFile(QDir(user_folder(program_dir)).filePath(kSettingsFileName));
}

SettingsFile::Values SettingsFile::parse(const QByteArray& text)
{
    const QList<QByteArray> values = split_values(text);
    return {to_int<int32_t>(values, 0), to_int<int32_t>(values, 1), to_int<int16_t>(values, 2)};
}

QByteArray SettingsFile::format(int32_t win_top, int32_t win_left, int16_t com_port)
{
    return QByteArray::number(win_top) + "\r\n" + QByteArray::number(win_left) + "\r\n" +
           QByteArray::number(com_port) + "\r\n";
}

SettingsFile::Values SettingsFile::read() const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A settings file is three short lines; anything far larger is not one.
    return parse(file.read(4096));
}

bool SettingsFile::write(int32_t win_top, int32_t win_left, int16_t com_port) const
{
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A failed write must be caught before the commit: the commit would put
    // whatever reached the disk in place of the old file. An uncommitted
    // temporary file is removed with `file`.
    const QByteArray text = format(win_top, win_left, com_port);
    if (file.write(text) != text.size() || !file.flush())
        return false;
    return file.commit();
}

}  // namespace plenvo
