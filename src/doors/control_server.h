#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/request.h"
#include "doors/line_state.h"
#include "wire/protocol.h"

class QHostAddress;
class QLocalServer;
class QTcpServer;

namespace plenvo {

class DoorKeys;
class UnitModel;

// Serves the control protocol (control/request.h) to plenvo-ctl, scripts and
// control systems, on the user's private local socket and, when asked, on
// TCP. Every change goes through the unit model, as a click does, and is
// answered from its outcome.
//
// Each client's commands are carried out in the order it sent them, one at
// a time: a `set` is answered once the unit has answered its last setting.
// A client that goes away meanwhile has its commands carried out all the
// same; their answers go nowhere.
//
// Watchers get a line for each change of a setting the unit reports,
// whoever caused it, and one for each change of the port's line:
//
//   bright 40                  {"bright": 40}
//   port COM1 opened           {"port": "COM1", "state": "opened"}
//   port COM1 error: WHY       {"port": "COM1", "state": "error", "reason": "WHY"}
//   port COM1 not answering: WHY
//
// A line of an HTTP request (a browser made to post to the port by a web
// page) closes its connection before anything it sent is carried out. On
// TCP away from loopback the first line must be "auth TOKEN"; renewing the
// token ends those connections. Each client may send kMaxCommandsPerSecond
// commands a second; those beyond are refused.
class ControlServer final : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 16;
    static constexpr int kMaxCommandsPerSecond = 50;

    explicit ControlServer(UnitModel& model);
    ~ControlServer() override;

    // Listens on the local socket at `path`, only for this user. A socket
    // file left there by a copy that ended without removing it is replaced.
    // Empty, or what went wrong.
    QString listen_local(const QString& path);
    // Listens on TCP, in place of the address listened on so far once this
    // one works; the same address again changes nothing. With `keys`, each
    // client's first line must be "auth TOKEN".
    QString listen_tcp(const QHostAddress& host, quint16 port, DoorKeys* keys = nullptr);
    // Carries out what a second start hands over on the local socket
    // (`device`, `listen`): empty, or why it could not be.
    using Handover = std::function<QString(const control::Request&)>;
    void take_handovers(Handover handover) { handover_ = std::move(handover); }
    // Commands are taken in from the start; those about the unit (status,
    // set) are carried out from here on, once the program knows its state.
    void start_serving();

    int client_count() const;
    // What `web` answers on the local socket: the web page's link, or
    // empty while it is not served.
    void set_web_link(std::function<QString()> link) { web_link_ = std::move(link); }
    // The TCP port it listens on, or 0.
    quint16 tcp_port() const;

signals:
    // A client asked for the panel to come forward.
    void raise_requested();
    // A set was not carried out, and why, as its client was answered.
    void set_failed(const QString& reason);

private:
    class Connection;

    template <typename Socket>
    void accept(Socket* socket, bool needs_auth);
    bool admit(Connection& connection, const control::LineSplitter::Line& line);
    void shut_out_renewed();
    void take_lines(Connection& connection);
    void queue(Connection& connection, const control::LineSplitter::Line& line);
    void client_gone(Connection& connection);
    void run_next(Connection& connection);
    std::string carry_out(Connection& connection, const control::Request& request);
    void set_from(Connection& connection, size_t index);
    void set_failed_at(Connection& connection, size_t index, const QString& reason);
    void answered(Connection& connection, const std::string& line);
    void setting_reported(const protocol::Command& command, int value);
    void line_changed();

    UnitModel& model_;
    std::unique_ptr<QLocalServer> local_;
    std::unique_ptr<QTcpServer> tcp_;
    DoorKeys* keys_ = nullptr;
    std::function<QString()> web_link_;
    std::vector<Connection*> connections_;
    LineState line_;
    bool serving_ = false;
    Handover handover_;
};

}  // namespace plenvo
