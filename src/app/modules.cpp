#include "app/modules.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace plenvo {

QString module_path(const QString& file_name)
{
    const QString beside_program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    QString beside_libraries;
    Dl_info library{};
    if (::dladdr(reinterpret_cast<void*>(&module_path), &library) != 0 && library.dli_fname)
        beside_libraries = QString::fromLocal8Bit(library.dli_fname);
    QString path;
    for (const QString& neighbour : {beside_program, beside_libraries}) {
        if (neighbour.isEmpty())
            continue;
        path = QFileInfo(neighbour).absoluteDir().filePath(file_name);
        if (QFileInfo::exists(path))
            break;
    }
    return path;
}

}  // namespace plenvo
