#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/line_splitter.h"
#include "control/request.h"
#include "wire/protocol.h"

class QHostAddress;
class QLocalServer;
class QTcpServer;

namespace plenvo {

class FrmMain;
class Platform;
class Timer;

// Serves the control protocol (control/request.h) to plenvo-ctl, scripts and
// control systems, on the user's private local socket and, when asked, on
// TCP. The panel stays the line's one owner: a `set` is carried out by the
// handler a click or slider move runs, so the windows show it, and only
// while the link is free, so that the answer is the unit's.
//
// Commands run one at a time from a timer, never inside a client's own
// signal: a command yields while it waits for the unit, and the client may
// be gone by then. Its answer is then dropped; what it asked for is done
// all the same.
class ControlServer final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 16;

    ControlServer(FrmMain& frm, Platform& platform);
    ~ControlServer() override;

    // Listens on the local socket at `path`, only for this user. A socket
    // file left there by a copy that ended without removing it is replaced.
    // Empty, or what went wrong.
    QString listen_local(const QString& path);
    QString listen_tcp(const QHostAddress& host, quint16 port);
    // Commands are taken in from the start; those about the unit (status,
    // set) are carried out from here on, once the panel knows its state.
    void start_serving();

    int client_count() const;

private:
    class Connection;

    struct Job {
        QPointer<Connection> from;
        control::Request request;
        size_t settings_done = 0;
        // The setting asked for last, until the model tells how it went:
        // empty when it is done, else why not.
        std::shared_ptr<std::optional<std::string>> outcome = {};
    };

    template <typename Socket>
    void accept(Socket* socket);
    void take_lines(Connection& connection);
    void queue(Connection& connection, const control::LineSplitter::Line& line);
    void client_gone(Connection& connection);
    void run_jobs();
    // The answer, or nothing yet: the link is busy and the job waits.
    std::optional<std::string> carry_out(Job& job);
    std::optional<std::string> carry_out_set(Job& job);
    void answer(const QPointer<Connection>& to, const std::string& line);
    void frame_applied(const protocol::Frame& frame);
    void raise_panel();

    // In control_server_settings.cpp: a setting applied as the user would.
    std::string refusal(const control::Assignment& assignment) const;
    std::string line_trouble() const;
    void apply(Job& job, const control::Assignment& assignment);

    FrmMain& frm_;
    std::unique_ptr<QLocalServer> local_;
    std::unique_ptr<QTcpServer> tcp_;
    std::unique_ptr<Timer> timJobs_;
    std::vector<QPointer<Connection>> connections_;
    std::deque<Job> jobs_;
    bool serving_ = false;
    bool running_ = false;
};

}  // namespace plenvo
