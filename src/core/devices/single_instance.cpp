#include "devices/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plenvo {

namespace {

// The user's own runtime folder, so that a lock left by another user's copy
// never stands in the way and no one else can put a socket of their own in
// the place of the control socket. Programs run by cron have no
// XDG_RUNTIME_DIR, yet must find the panel of the desktop session: the
// folder the session's is by default stands in for it, else a private
// folder in the temporary one, as Qt would make (without its warning on
// every run of plenvo-ctl). Should even that be taken by someone else, the
// user's cache folder does.
QString runtime_folder()
{
#ifdef Q_OS_UNIX
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const auto own = [](const QFileInfo& folder) { return folder.isDir() && folder.ownerId() == ::getuid(); };
        const QFileInfo per_user(QStringLiteral("/run/user/%1").arg(::getuid()));
        if (own(per_user))
            return per_user.filePath();
        const QString path = QDir::temp().filePath(QStringLiteral("plenvo-runtime-%1").arg(::getuid()));
        QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QFileInfo private_folder(path);
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        if (own(private_folder) && !(private_folder.permissions() & others))
            return path;
    }
#endif
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/plenvo");
    QDir().mkpath(cache);
    return cache;
}

// A file of the running copy of the program in `program_dir`. The program's
// folder may not be writable; the file's name stands for it.
QString file_for(const QString& program_dir, const char* suffix)
{
    const QByteArray folder = QFileInfo(program_dir).canonicalFilePath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return QDir(runtime_folder()).filePath(QStringLiteral("plenvo-%1%2").arg(QLatin1StringView(digest), QLatin1String(suffix)));
}

}  // namespace

SingleInstance::SingleInstance(const QString& program_dir) : path_(file_for(program_dir, ".lock")) {}

SingleInstance::~SingleInstance()
{
    // The file goes first, while the lock is still held: a start that
    // opened it meanwhile finds it gone once it has the lock, and tries
    // again on a new one.
    if (fd_ >= 0) {
        ::unlink(QFile::encodeName(path_).constData());
        ::close(fd_);
    }
}

bool SingleInstance::acquire()
{
    const QByteArray path = QFile::encodeName(path_);
    while (fd_ < 0) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            if (error == EWOULDBLOCK)
                return false;
            // A lock that cannot be made at all (a full or read-only folder)
            // says nothing about another copy: better to run than to end
            // without a word.
            qWarning("plenvo: cannot make the single-copy lock %s (%s); starting anyway", path.constData(),
                     std::strerror(error));
            return true;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            fd_ = fd;
        else
            ::close(fd);
    }
    return true;
}

QString control_socket_path(const QString& program_dir)
{
    return file_for(program_dir, ".socket");
}

}  // namespace plenvo
