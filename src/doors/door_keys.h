#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include "devices/access_token.h"

namespace plenvo {

// The access token the doors on the network ask for, as it stands in its
// file: made at the first use, and followed when another program (plenvo-ctl
// web-url --new) replaces it, so that the clients that showed the old one
// are shut out at once.
class DoorKeys final : public QObject {
    Q_OBJECT
public:
    explicit DoorKeys(AccessToken file);

    // Empty, or why there is no token. Loaded once; later calls keep it.
    QString load();
    const QString& token() const { return token_; }

signals:
    // The token was replaced: every session opened with the old one ends.
    void renewed();

private:
    void reread();

    AccessToken file_;
    QString token_;
    QFileSystemWatcher watcher_;
};

}  // namespace plenvo
