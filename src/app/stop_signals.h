#pragma once

#include <QObject>

#include <functional>

namespace plenvo {

// SIGTERM, SIGINT and SIGHUP (the terminal closed) call `stop` from the
// event loop, as a close request from the desktop would; `context` owns
// what listens for them.
void on_stop_signals(QObject& context, std::function<void()> stop);

}  // namespace plenvo
