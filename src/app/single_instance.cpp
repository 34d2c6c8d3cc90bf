#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace plenvo {

namespace {

// The user's own runtime folder ($XDG_RUNTIME_DIR, or the private folder Qt
// makes in the temporary folder when that is unset), so that a lock left by
// another user's copy never stands in the way. Should even that folder be
// taken by someone else, the user's cache folder does.
QString lock_folder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/plenvo");
    QDir().mkpath(cache);
    return cache;
}

// The program's folder may not be writable; the lock's name stands for it.
QString lock_file_for(const QString& program_dir)
{
    const QByteArray folder = QFileInfo(program_dir).canonicalFilePath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return QDir(lock_folder()).filePath(QStringLiteral("plenvo-%1.lock").arg(QLatin1StringView(digest)));
}

}  // namespace

SingleInstance::SingleInstance(const QString& program_dir) : lock_(lock_file_for(program_dir))
{
    // Only a lock whose holder is gone is stale, however old it is.
    lock_.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    if (lock_.tryLock(0))
        return true;
    if (lock_.error() == QLockFile::LockFailedError)
        return false;
    // A lock that cannot be made at all (a full or read-only folder) says
    // nothing about another copy: better to run than to end without a word.
    qWarning("plenvo: cannot make the single-copy lock %s; starting anyway", qPrintable(lock_.fileName()));
    return true;
}

}  // namespace plenvo
