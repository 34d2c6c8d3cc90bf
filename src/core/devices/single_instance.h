#pragma once

#include <QLockFile>
#include <QString>

namespace plenvo {

// One running copy per user and program folder. The lock names the holder's
// process, so a lock left behind by a copy that crashed is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& program_dir);
    // False only when another running copy from the same folder holds the
    // lock. The lock is given back when this object goes.
    bool acquire();
    QString lock_path() const { return lock_.fileName(); }

private:
    QLockFile lock_;
};

// Where the copy holding the lock listens for plenvo-ctl and for a second
// start that wants it brought forward.
QString control_socket_path(const QString& program_dir);

}  // namespace plenvo
