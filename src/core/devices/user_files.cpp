#include "devices/user_files.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace plenvo {

QString user_folder(const QString& program_dir)
{
    const QFileInfo folder(program_dir);
    // Root can write /usr/bin, and a user ~/.local/bin, yet the files of
    // neither belong there.
    const bool installed = QFileInfo::exists(QDir(program_dir).filePath(QLatin1String(kMenuEntry)));
    if (folder.isWritable() && !installed)
        return folder.absoluteFilePath();
    // Not AppConfigLocation: that is named after each program.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("plenvo"));
}

}  // namespace plenvo
