#include "doors/control_server.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <functional>

#include "windows/frm_main.h"
#include "control/status.h"
#include "base/platform.h"

namespace plenvo {

namespace {

// How soon queued commands are taken up, and looked at again while the link
// is busy.
constexpr int kJobsMs = 5;
// A client is read a chunk at a time; its socket holds back the rest.
constexpr qint64 kChunk = 4096;
constexpr qint64 kReadBuffer = 64 * 1024;
// Answers and watch lines a client leaves unread beyond this end its
// connection: it is not listening.
constexpr qint64 kMaxUnsent = 256 * 1024;

}  // namespace

class ControlServer::Connection final : public QObject {
public:
    Connection(QIODevice* socket, std::function<void()> abort, QObject* parent)
        : QObject(parent), socket(socket), abort_(std::move(abort))
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

    QIODevice* socket;
    control::LineSplitter lines;
    // Its commands in the queue.
    int waiting = 0;
    // Set while it watches: whether as JSON.
    std::optional<bool> watch_json;
    bool gone = false;

private:
    std::function<void()> abort_;
};

ControlServer::ControlServer(FrmMain& frm, Platform& platform)
    : frm_(frm), timJobs_(platform.make_timer(kJobsMs))
{
    timJobs_->on_tick = [this] {
        timJobs_->set_enabled(false);
        run_jobs();
    };
    connect(&frm_.model(), &UnitModel::frame_applied, this, &ControlServer::frame_applied);
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
            accept(socket);
    });
    return {};
}

QString ControlServer::listen_tcp(const QHostAddress& host, quint16 port)
{
    tcp_ = std::make_unique<QTcpServer>();
    if (!tcp_->listen(host, port))
        return QStringLiteral("%1 port %2: %3").arg(host.toString()).arg(port).arg(tcp_->errorString());
    connect(tcp_.get(), &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = tcp_->nextPendingConnection())
            accept(socket);
    });
    return {};
}

void ControlServer::start_serving()
{
    serving_ = true;
    timJobs_->set_enabled(true);
}

int ControlServer::client_count() const
{
    return int(std::count_if(connections_.begin(), connections_.end(),
                             [](const QPointer<Connection>& c) { return c && !c->gone; }));
}

template <typename Socket>
void ControlServer::accept(Socket* socket)
{
    std::erase_if(connections_, [](const QPointer<Connection>& c) { return !c; });
    if (client_count() >= kMaxClients) {
        const std::string refusal =
            control::error_answer("too many clients (" + std::to_string(kMaxClients) + " at most)") + '\n';
        socket->write(refusal.data(), qint64(refusal.size()));
        connect(socket, &Socket::disconnected, socket, &QObject::deleteLater);
        socket->close();
        return;
    }
    socket->setReadBufferSize(kReadBuffer);
    auto* connection = new Connection(socket, [socket] { socket->abort(); }, this);
    connections_.push_back(connection);
    connect(socket, &QIODevice::readyRead, connection, [this, connection] { take_lines(*connection); });
    connect(socket, &Socket::disconnected, connection, [this, connection] { client_gone(*connection); });
}

void ControlServer::take_lines(Connection& connection)
{
    // The next chunk once the commands of the last one are answered: a
    // client that sends faster than the unit answers is held up by its
    // socket, not by the panel's memory.
    while ((connection.waiting == 0 || connection.gone) && connection.socket->bytesAvailable() > 0) {
        const QByteArray chunk = connection.socket->read(kChunk);
        for (const control::LineSplitter::Line& line : connection.lines.feed({chunk.constData(), size_t(chunk.size())}))
            queue(connection, line);
    }
}

void ControlServer::client_gone(Connection& connection)
{
    if (connection.gone)
        return;
    // What it sent before it left is carried out; the answers go nowhere.
    connection.gone = true;
    take_lines(connection);
    if (const std::optional<control::LineSplitter::Line> last = connection.lines.finish())
        queue(connection, *last);
    connection.deleteLater();
}

void ControlServer::queue(Connection& connection, const control::LineSplitter::Line& line)
{
    control::Request request = control::parse_request(line);
    if (request.verb == control::Verb::None && request.error.empty())
        return;
    jobs_.push_back({&connection, std::move(request)});
    ++connection.waiting;
    timJobs_->set_enabled(true);
}

void ControlServer::run_jobs()
{
    // A command of ours waits further down the stack; that run goes on with
    // the queue once it is done.
    if (running_)
        return;
    running_ = true;
    while (!jobs_.empty()) {
        // A deque keeps this reference valid while jobs come in meanwhile.
        Job& job = jobs_.front();
        const std::optional<std::string> line = carry_out(job);
        if (!line) {
            timJobs_->set_enabled(true);
            break;
        }
        const QPointer<Connection> to = job.from;
        jobs_.pop_front();
        answer(to, *line);
    }
    running_ = false;
}

std::optional<std::string> ControlServer::carry_out(Job& job)
{
    using control::Verb;
    const control::Request& request = job.request;
    if (!request.error.empty())
        return control::error_answer(request.error);
    if (!serving_ && (request.verb == Verb::Status || request.verb == Verb::Set))
        return std::nullopt;
    switch (request.verb) {
    case Verb::Status: {
        const std::string trouble = line_trouble();
        return trouble.empty() ? control::status_answer(frm_.model().state(), request.json)
                               : control::error_answer(trouble);
    }
    case Verb::Set: return carry_out_set(job);
    case Verb::Watch:
        if (job.from)
            job.from->watch_json = request.json;
        break;
    case Verb::Raise: raise_panel(); break;
    case Verb::Help: return control::help_answer();
    case Verb::Ping:
    case Verb::None: break;
    }
    return control::ok_answer();
}

std::optional<std::string> ControlServer::carry_out_set(Job& job)
{
    const std::vector<control::Assignment>& settings = job.request.settings;
    while (job.settings_done < settings.size()) {
        const control::Assignment& assignment = settings[job.settings_done];
        if (!job.outcome) {
            // Sent while another command waits, it would be queued, and its
            // answer never told.
            if (!frm_.model().idle())
                return std::nullopt;
            job.outcome = std::make_shared<std::optional<std::string>>();
            if (const std::string failure = refusal(assignment); !failure.empty())
                *job.outcome = failure;
            else
                apply(job, assignment);
        }
        if (!*job.outcome)
            return std::nullopt;
        std::string failure = **job.outcome;
        job.outcome.reset();
        ++job.settings_done;
        if (!failure.empty()) {
            if (job.settings_done < settings.size())
                failure += "; not sent: " + control::assignments_text(std::span(settings).subspan(job.settings_done));
            return control::error_answer(failure);
        }
    }
    return control::ok_answer();
}

void ControlServer::answer(const QPointer<Connection>& to, const std::string& line)
{
    if (!to || to->gone)
        return;
    to->send(line);
    --to->waiting;
    take_lines(*to);
}

void ControlServer::frame_applied(const protocol::Frame& frame)
{
    for (const QPointer<Connection>& connection : std::vector(connections_))
        if (connection && connection->watch_json)
            if (const std::optional<std::string> line = control::watch_line(frame, *connection->watch_json))
                connection->send(*line);
}

void ControlServer::raise_panel()
{
    // Still starting, it comes forward when it shows; closing, it stays away.
    if (frm_.is_unloaded() || !frm_.isVisible())
        return;
    frm_.showNormal();
    frm_.raise();
    frm_.activateWindow();
}

}  // namespace plenvo
