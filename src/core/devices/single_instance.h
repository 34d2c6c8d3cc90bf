#pragma once

#include <QString>

namespace plenvo {

// One running copy per user and program folder. The lock is the kernel's,
// on the open lock file: it goes with the process however that ends, so a
// copy that crashed leaves none behind, and taking it writes nothing to the
// disk at start-up (a lock file that names its holder is synced first).
class SingleInstance {
public:
    explicit SingleInstance(const QString& program_dir);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False only when another running copy from the same folder holds the
    // lock. The lock is given back when this object goes.
    bool acquire();
    QString lock_path() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};

// Where the copy holding the lock listens for plenvo-ctl and for a second
// start that wants it brought forward.
QString control_socket_path(const QString& program_dir);

}  // namespace plenvo
