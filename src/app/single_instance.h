#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace plenvo {

// One running copy per program folder. The lock names the holder's process,
// so a lock left behind by a copy that crashed is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& program_dir);
    // False when another copy from the same folder holds the lock.
    bool acquire();
    QString lock_path() const { return lock_.fileName(); }

private:
    QLockFile lock_;
};

}  // namespace plenvo
