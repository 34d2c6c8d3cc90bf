#include "doors/door_keys.h"

#include <QFileInfo>

namespace plenvo {

DoorKeys::DoorKeys(AccessToken file) : file_(std::move(file))
{
    // The file is replaced, not written in place: its folder tells.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &DoorKeys::reread);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &DoorKeys::reread);
}

QString DoorKeys::load()
{
    // Each door away from loopback asks; the first one loads it.
    if (!token_.isEmpty())
        return {};
    QString error;
    token_ = file_.get(error);
    if (token_.isEmpty())
        return error;
    watcher_.addPath(QFileInfo(file_.path()).absolutePath());
    watcher_.addPath(file_.path());
    return {};
}

void DoorKeys::reread()
{
    const QString now = file_.read();
    if (!watcher_.files().contains(file_.path()))
        watcher_.addPath(file_.path());
    if (now.isEmpty() || now == token_)
        return;
    token_ = now;
    emit renewed();
}

}  // namespace plenvo
