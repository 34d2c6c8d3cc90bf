#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace plenvo {

namespace {

// The lock lives in the temporary folder, since the program's own folder may
// not be writable; its name stands for that folder.
QString lock_file_for(const QString& program_dir)
{
    const QByteArray folder = QFileInfo(program_dir).canonicalFilePath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("plenvo-%1.lock").arg(QLatin1StringView(digest)));
}

}  // namespace

SingleInstance::SingleInstance(const QString& program_dir) : lock_(lock_file_for(program_dir))
{
    // Only a lock whose holder is gone is stale, however old it is.
    lock_.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    return lock_.tryLock(0);
}

}  // namespace plenvo
