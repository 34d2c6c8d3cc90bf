#pragma once

#include <QLocalSocket>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace plenvo {

// A connection to the running panel's control socket, one command line and
// one answer line at a time (control/request.h). Blocking, with bounded
// waits: for plenvo-ctl, and for a second start of the panel.
class PanelClient {
public:
    // False when no panel listens at `path`.
    bool connect_to(const QString& path);
    // Sends one command and returns its answer line, without its line end;
    // nothing when the panel closed the connection or did not answer in time.
    std::optional<std::string> ask(std::string_view command, int timeout_ms);
    // The next line the panel sends; waits for ever with a timeout of -1.
    std::optional<std::string> next_line(int timeout_ms);

    // Asks the panel listening at `path` to come forward; false when none
    // answers.
    static bool raise(const QString& path);

private:
    QLocalSocket socket_;
};

}  // namespace plenvo
