#include "doors/control_server.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <type_traits>

#include "control/access.h"
#include "control/status.h"
#include "control/text.h"
#include "doors/door_keys.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

// A client is read a chunk at a time; its socket holds back the rest.
constexpr qint64 kChunk = 4096;
constexpr qint64 kReadBuffer = 64 * 1024;
// Answers and watch lines a client leaves unread beyond this end its
// connection: it is not listening.
constexpr qint64 kMaxUnsent = 256 * 1024;

control::Request refused(std::string reason)
{
    control::Request request;
    request.error = std::move(reason);
    return request;
}

bool about_the_unit(const control::Request& request)
{
    return request.error.empty() && (request.verb == control::Verb::Status || request.verb == control::Verb::Set);
}

}  // namespace

class ControlServer::Connection final : public QObject {
public:
    Connection(QIODevice* socket, std::function<void()> abort, std::function<void()> close, QObject* parent)
        : QObject(parent), socket(socket), abort_(std::move(abort)), close_(std::move(close))
    {
        socket->setParent(this);
    }

    void send(const std::string& line)
    {
        if (gone)
            return;
        if (socket->bytesToWrite() > kMaxUnsent) {
            abort_();
            return;
        }
        socket->write(line.data(), qint64(line.size()));
        socket->write("\n", 1);
    }

    bool idle() const { return !busy && requests.empty(); }

    // Ends the connection at once, dropping whatever it sent that is not
    // yet carried out.
    void cut_off()
    {
        refused = true;
        drop_waiting();
        abort_();
    }

    // Answers, then closes once the answer is out.
    void turn_away(const std::string& line)
    {
        refused = true;
        drop_waiting();
        send(line);
        close_();
    }

    QIODevice* socket;
    control::LineSplitter lines;
    // Its commands not yet answered, the first one being carried out.
    std::deque<control::Request> requests;
    // The first request is a set waiting for the unit.
    bool busy = false;
    // Set while its requests are being taken up, further up the stack.
    bool pumping = false;
    // Set while it watches: whether as JSON.
    std::optional<bool> watch_json;
    bool gone = false;
    // On the user's own socket.
    bool local = false;
    // Its first line must be "auth TOKEN".
    bool needs_auth = false;
    // It showed the token.
    bool authorized = false;
    // It sent what is not the control protocol, or no token: nothing more
    // it sent is carried out.
    bool refused = false;
    control::RateLimit rate{kMaxCommandsPerSecond};

private:
    void drop_waiting()
    {
        // A set already on its way to the unit is answered; nothing after it.
        requests.erase(requests.begin() + (busy ? 1 : 0), requests.end());
    }

    std::function<void()> abort_;
    std::function<void()> close_;
};

ControlServer::ControlServer(UnitModel& model) : model_(model), line_(line_state(model))
{
    connect(&model_, &UnitModel::reported, this,
            [this](const protocol::Command& command, int value, Door) { setting_reported(command, value); });
    connect(&model_, &UnitModel::port_changed, this, &ControlServer::line_changed);
}

ControlServer::~ControlServer() = default;

QString ControlServer::listen_local(const QString& path)
{
    local_ = std::make_unique<QLocalServer>();
    local_->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the copy holding the single-copy lock gets here, so a socket
    // already there was left by a copy that is gone.
    QLocalServer::removeServer(path);
    if (!local_->listen(path))
        return path + QStringLiteral(": ") + local_->errorString();
    connect(local_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = local_->nextPendingConnection())
            accept(socket, false);
    });
    return {};
}

QString ControlServer::listen_tcp(const QHostAddress& host, quint16 port, DoorKeys* keys)
{
    if (tcp_ && tcp_->serverAddress() == host && tcp_->serverPort() == port)
        return {};
    auto tcp = std::make_unique<QTcpServer>();
    if (!tcp->listen(host, port))
        return QStringLiteral("%1 port %2: %3").arg(host.toString()).arg(port).arg(tcp->errorString());
    // The clients of the address given up stay connected.
    tcp_ = std::move(tcp);
    if (keys && keys != keys_)
        connect(keys, &DoorKeys::renewed, this, &ControlServer::shut_out_renewed);
    keys_ = keys;
    connect(tcp_.get(), &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = tcp_->nextPendingConnection())
            accept(socket, keys_ != nullptr);
    });
    return {};
}

void ControlServer::start_serving()
{
    serving_ = true;
    for (Connection* connection : std::vector(connections_))
        take_lines(*connection);
}

quint16 ControlServer::tcp_port() const
{
    return tcp_ ? tcp_->serverPort() : 0;
}

int ControlServer::client_count() const
{
    return int(std::ranges::count_if(connections_, [](const Connection* c) { return !c->gone; }));
}

template <typename Socket>
void ControlServer::accept(Socket* socket, bool needs_auth)
{
    if (client_count() >= kMaxClients) {
        const std::string refusal =
            control::error_answer("too many clients (" + std::to_string(kMaxClients) + " at most)") + '\n';
        socket->write(refusal.data(), qint64(refusal.size()));
        connect(socket, &Socket::disconnected, socket, &QObject::deleteLater);
        socket->close();
        return;
    }
    socket->setReadBufferSize(kReadBuffer);
    const auto close = [socket] {
        if constexpr (std::is_same_v<Socket, QTcpSocket>)
            socket->disconnectFromHost();
        else
            socket->disconnectFromServer();
    };
    auto* connection = new Connection(socket, [socket] { socket->abort(); }, close, this);
    connection->needs_auth = needs_auth;
    connection->local = std::is_same_v<Socket, QLocalSocket>;
    connections_.push_back(connection);
    connect(connection, &QObject::destroyed, this, [this, connection] { std::erase(connections_, connection); });
    connect(socket, &QIODevice::readyRead, connection, [this, connection] { take_lines(*connection); });
    connect(socket, &Socket::disconnected, connection, [this, connection] { client_gone(*connection); });
}

// Carries out the client's commands in order, and reads its next chunk only
// once the last one's are answered: a client that sends faster than the
// unit answers is held up by its socket, not by the program's memory.
void ControlServer::take_lines(Connection& connection)
{
    // Called again from an answer: the loop further up goes on.
    if (connection.pumping)
        return;
    connection.pumping = true;
    for (;;) {
        run_next(connection);
        if (!connection.idle() || connection.socket->bytesAvailable() <= 0)
            break;
        const QByteArray chunk = connection.socket->read(kChunk);
        for (const control::LineSplitter::Line& line : connection.lines.feed({chunk.constData(), size_t(chunk.size())}))
            queue(connection, line);
    }
    connection.pumping = false;
    if (connection.gone && connection.idle())
        connection.deleteLater();
}

void ControlServer::client_gone(Connection& connection)
{
    if (connection.gone)
        return;
    // What it sent before it left is carried out; the answers go nowhere.
    connection.gone = true;
    if (connection.refused) {
        take_lines(connection);
        return;
    }
    while (connection.socket->bytesAvailable() > 0) {
        const QByteArray chunk = connection.socket->read(kChunk);
        for (const control::LineSplitter::Line& line : connection.lines.feed({chunk.constData(), size_t(chunk.size())}))
            queue(connection, line);
    }
    if (const std::optional<control::LineSplitter::Line> last = connection.lines.finish())
        queue(connection, *last);
    take_lines(connection);
}

void ControlServer::queue(Connection& connection, const control::LineSplitter::Line& line)
{
    if (!admit(connection, line))
        return;
    control::Request request = control::parse_request(line);
    if (request.verb == control::Verb::None && request.error.empty())
        return;
    if (!connection.rate.take_now())
        request = refused("more than " + std::to_string(kMaxCommandsPerSecond) + " commands a second");
    connection.requests.push_back(std::move(request));
}

// Whether the line is to be carried out: not when it or a line before it
// was refused, nor when it is the token asked for (it is answered here).
bool ControlServer::admit(Connection& connection, const control::LineSplitter::Line& line)
{
    if (connection.refused)
        return false;
    if (!line.overlong && control::is_http_line(line.text)) {
        connection.cut_off();
        return false;
    }
    if (!connection.needs_auth)
        return true;
    if (!line.overlong && control::words_of(line.text).empty())
        return false;
    const std::optional<std::string_view> token = line.overlong ? std::nullopt : control::auth_token(line.text);
    if (!token || !control::same_token(*token, keys_->token().toStdString())) {
        connection.turn_away(control::error_answer(token ? "wrong token" : "this port needs \"auth TOKEN\" first"));
        return false;
    }
    connection.needs_auth = false;
    connection.authorized = true;
    control::Request welcome;
    welcome.verb = control::Verb::Ping;
    connection.requests.push_back(std::move(welcome));
    return false;
}

void ControlServer::shut_out_renewed()
{
    for (Connection* connection : std::vector(connections_))
        if (connection->authorized && !connection->refused)
            connection->cut_off();
}

void ControlServer::run_next(Connection& connection)
{
    while (!connection.busy && !connection.requests.empty()) {
        const control::Request& request = connection.requests.front();
        if (!serving_ && about_the_unit(request))
            return;
        if (about_the_unit(request) && request.verb == control::Verb::Set) {
            connection.busy = true;
            set_from(connection, 0);
            continue;
        }
        const std::string line = carry_out(connection, request);
        connection.requests.pop_front();
        connection.send(line);
    }
}

std::string ControlServer::carry_out(Connection& connection, const control::Request& request)
{
    using control::Verb;
    if (!request.error.empty())
        return control::error_answer(request.error);
    switch (request.verb) {
    case Verb::Status: {
        const QString trouble = model_.line_trouble();
        return trouble.isEmpty() ? control::status_answer(model_.state(), request.json)
                                 : control::error_answer(trouble.toStdString());
    }
    case Verb::Watch: connection.watch_json = request.json; break;
    case Verb::Raise: emit raise_requested(); break;
    case Verb::Device:
    case Verb::Listen: {
        if (!connection.local)
            return control::error_answer("device and listen are taken on the local socket only");
        const QString failure = handover_ ? handover_(request) : QStringLiteral("not taken here");
        if (!failure.isEmpty())
            return control::error_answer(failure.toStdString());
        break;
    }
    case Verb::Help: return control::help_answer();
    case Verb::Web: {
        // The link carries the token: only the user's own socket tells it.
        if (!connection.local)
            return control::error_answer("the link is told on the local socket only");
        const QString link = web_link_ ? web_link_() : QString();
        return link.isEmpty() ? control::error_answer("the page is not served: start with --web [HOST:]PORT")
                              : control::ok_answer(link.toStdString());
    }
    case Verb::Set:
    case Verb::Ping:
    case Verb::None: break;
    }
    return control::ok_answer();
}

// Sends the request's settings from `index` on, each once the unit has
// taken the one before.
void ControlServer::set_from(Connection& connection, size_t index)
{
    const std::vector<control::Assignment>& settings = connection.requests.front().settings;
    if (index == settings.size()) {
        answered(connection, control::ok_answer());
        return;
    }
    const control::Assignment& assignment = settings[index];
    const protocol::Command& command = assignment.setting->command;
    // The rule's own words, as the panel has always answered them.
    if (const QString refusal = model_.refusal(command, assignment.value); !refusal.isEmpty()) {
        set_failed_at(connection, index, refusal);
        return;
    }
    const QPointer<Connection> from(&connection);
    model_.set(command, assignment.value, Door::Control, [this, from, index](const Outcome& outcome) {
        // Gone with the server.
        if (!from)
            return;
        // Carried on from the event loop: the model and the line may be in
        // the middle of their own work here.
        QMetaObject::invokeMethod(
            from,
            [this, from, index, outcome] {
                if (outcome.ok())
                    set_from(*from, index + 1);
                else
                    set_failed_at(*from, index, outcome.reason);
            },
            Qt::QueuedConnection);
    });
}

void ControlServer::set_failed_at(Connection& connection, size_t index, const QString& reason)
{
    const std::vector<control::Assignment>& settings = connection.requests.front().settings;
    std::string failure = reason.toStdString();
    if (index + 1 < settings.size())
        failure += "; not sent: " + control::assignments_text(std::span(settings).subspan(index + 1));
    emit set_failed(QString::fromStdString(failure));
    answered(connection, control::error_answer(failure));
}

void ControlServer::answered(Connection& connection, const std::string& line)
{
    connection.busy = false;
    connection.requests.pop_front();
    connection.send(line);
    take_lines(connection);
}

void ControlServer::setting_reported(const protocol::Command& command, int value)
{
    const protocol::Frame frame{uint8_t(command.first), uint8_t(command.second), uint8_t(value)};
    for (Connection* connection : std::vector(connections_))
        if (connection->watch_json)
            if (const std::optional<std::string> line = control::watch_line(frame, *connection->watch_json))
                connection->send(*line);
}

void ControlServer::line_changed()
{
    const LineState now = line_state(model_);
    if (now == line_)
        return;
    line_ = now;
    for (Connection* connection : std::vector(connections_))
        if (connection->watch_json)
            connection->send(watch_line(line_, *connection->watch_json));
}

}  // namespace plenvo
