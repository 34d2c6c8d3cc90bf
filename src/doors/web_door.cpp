#include "doors/web_door.h"

#include <QFile>
#include <QHostInfo>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QNetworkRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include <algorithm>

#include "control/access.h"
#include "control/setting_table.h"
#include "control/status.h"
#include "doors/door_keys.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

using Status = QHttpServerResponder::StatusCode;

constexpr char kCookie[] = "plenvo-token";

// A header's value, its name in any case.
QByteArray header(const QHttpServerRequest& request, QByteArrayView name)
{
    for (const auto& [key, value] : request.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

QByteArray cookie_value(const QByteArray& cookies, QByteArrayView name)
{
    for (const QByteArray& pair : cookies.split(';')) {
        const QByteArray trimmed = pair.trimmed();
        if (trimmed.startsWith(name) && trimmed.size() > name.size() && trimmed[name.size()] == '=')
            return trimmed.mid(name.size() + 1);
    }
    return {};
}

QString address_name(const QHostAddress& address)
{
    QHostAddress plain = address;
    plain.setScopeId({});
    return plain.toString().toLower();
}

// The names a browser may give for this server: the address it listens
// on, or every address of the machine when it listens on all of them, and
// the machine's own names.
std::vector<std::string> own_names(const QHostAddress& host)
{
    QStringList names{QStringLiteral("localhost")};
    const bool everywhere = host == QHostAddress::Any || host == QHostAddress::AnyIPv4 || host == QHostAddress::AnyIPv6;
    for (const QHostAddress& address : everywhere ? QNetworkInterface::allAddresses() : QList{host})
        names << address_name(address);
    const QString machine = QHostInfo::localHostName().toLower();
    if (!machine.isEmpty()) {
        names << machine << machine + QStringLiteral(".local");
        if (const QString domain = QHostInfo::localDomainName().toLower(); !domain.isEmpty())
            names << machine + '.' + domain;
    }
    std::vector<std::string> result;
    for (const QString& name : names)
        result.push_back(name.toStdString());
    return result;
}

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// JSON text that the control vocabulary made, as a value.
QJsonValue parsed(const std::string& text)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// The settings by the names and words plenvo-ctl takes, in report order,
// for the page to build its controls from.
QJsonArray vocabulary()
{
    QJsonArray settings;
    for (const control::Setting& setting : control::kSettings) {
        QJsonObject entry{{QStringLiteral("name"), QLatin1String(setting.name)}};
        if (control::is_number_setting(setting)) {
            entry.insert(QStringLiteral("min"), protocol::kVideoMin);
            entry.insert(QStringLiteral("max"), protocol::kVideoMax);
        } else {
            QJsonArray words;
            for (const control::Word& word : setting.words)
                words.append(QLatin1String(word.word));
            entry.insert(QStringLiteral("words"), words);
        }
        settings.append(entry);
    }
    return settings;
}

}  // namespace

class WebDoor::Page final : public QObject {
public:
    Page(std::unique_ptr<QWebSocket> socket, QObject* parent) : QObject(parent), socket(socket.release())
    {
        this->socket->setParent(this);
    }

    void send(const QByteArray& message)
    {
        if (socket->bytesToWrite() > kMaxUnsent) {
            socket->abort();
            return;
        }
        socket->sendTextMessage(QString::fromUtf8(message));
    }

    QWebSocket* socket;
    control::RateLimit rate{kMaxChoicesPerSecond};
};

WebDoor::WebDoor(UnitModel& model, DoorKeys& keys) : model_(model), keys_(keys), line_(line_state(model))
{
    connect(&model_, &UnitModel::reported, this, [this](const protocol::Command& command, int value, Door) {
        const protocol::Frame frame{uint8_t(command.first), uint8_t(command.second), uint8_t(value)};
        if (const std::optional<std::string> change = control::watch_line(frame, true))
            to_every_page(json({{QStringLiteral("changed"), parsed(*change)}}));
    });
    connect(&model_, &UnitModel::port_changed, this, [this] {
        const LineState now = line_state(model_);
        if (now == line_)
            return;
        line_ = now;
        to_every_page(json({{QStringLiteral("line"), parsed(watch_line(line_, true))}}));
    });
    connect(&model_, &UnitModel::message, this, [this](const QString& text) {
        message_ = text;
        to_every_page(json({{QStringLiteral("message"), text}}));
    });
    connect(&keys_, &DoorKeys::renewed, this, [this] {
        if (needs_token_)
            for (Page* page : std::vector(pages_))
                page->socket->abort();
    });
}

WebDoor::~WebDoor()
{
    // Each page goes before the list it is in.
    for (Page* page : std::vector(pages_))
        delete page;
}

QString WebDoor::listen(const QString& host_text, quint16 port)
{
    const QHostAddress host(host_text);
    host_ = host;
    needs_token_ = !host.isLoopback();
    names_ = own_names(host);
    http_ = std::make_unique<QHttpServer>();
    http_->route(QStringLiteral("/"), [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        serve_file(request, std::move(responder), QStringLiteral(":/web/index.html"), "text/html; charset=utf-8");
    });
    http_->route(QStringLiteral("/app.js"), [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        serve_file(request, std::move(responder), QStringLiteral(":/web/app.js"), "text/javascript; charset=utf-8");
    });
    http_->route(QStringLiteral("/app.css"), [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        serve_file(request, std::move(responder), QStringLiteral(":/web/app.css"), "text/css; charset=utf-8");
    });
    http_->route(QStringLiteral("/live"), [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        open_socket(request, std::move(responder));
    });
    connect(http_.get(), &QHttpServer::newWebSocketConnection, this, &WebDoor::take_socket);
    port_ = http_->listen(host, port);
    if (port_ == 0)
        return QStringLiteral("%1 port %2: the address is taken or cannot be used").arg(host.toString()).arg(port);
    // Names given without a port mean the one it has now.
    return {};
}

QString WebDoor::link() const
{
    if (port_ == 0)
        return {};
    // Listening everywhere, the machine's first address on its network.
    QHostAddress address = host_;
    if (host_ == QHostAddress::Any || host_ == QHostAddress::AnyIPv4 || host_ == QHostAddress::AnyIPv6) {
        address = QHostAddress::LocalHost;
        for (const QHostAddress& own : QNetworkInterface::allAddresses())
            if (!own.isLoopback() && own.protocol() == QAbstractSocket::IPv4Protocol) {
                address = own;
                break;
            }
    }
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? '[' + address_name(address) + ']'
                                                                            : address_name(address);
    QString link = QStringLiteral("http://%1:%2/").arg(host).arg(port_);
    if (needs_token_)
        link += QStringLiteral("?token=") + keys_.token();
    return link;
}

bool WebDoor::allowed(const QByteArray& host, const QByteArray& origin, const QUrl& url, const QByteArray& cookie) const
{
    if (!control::host_allowed(host.toStdString(), names_, port_) ||
        !control::origin_allowed(origin.toStdString(), host.toStdString()))
        return false;
    if (!needs_token_)
        return true;
    const QByteArray token = QUrlQuery(url).hasQueryItem(QStringLiteral("token"))
                                 ? QUrlQuery(url).queryItemValue(QStringLiteral("token")).toUtf8()
                                 : cookie_value(cookie, kCookie);
    return control::same_token(token.toStdString(), keys_.token().toStdString());
}

int WebDoor::refusal(const QHttpServerRequest& request) const
{
    const QByteArray host = header(request, "Host");
    if (!control::host_allowed(host.toStdString(), names_, port_) ||
        !control::origin_allowed(header(request, "Origin").toStdString(), host.toStdString()))
        return int(Status::Forbidden);
    if (request.method() != QHttpServerRequest::Method::Get && request.method() != QHttpServerRequest::Method::Head)
        return int(Status::MethodNotAllowed);
    if (!allowed(host, header(request, "Origin"), request.url(), header(request, "Cookie")))
        return int(Status::Unauthorized);
    return 0;
}

void WebDoor::serve_file(const QHttpServerRequest& request, QHttpServerResponder&& responder, const QString& file,
                         const QByteArray& type)
{
    if (const int status = refusal(request)) {
        responder.write(Status(status));
        return;
    }
    QFile content(file);
    content.open(QIODevice::ReadOnly);
    const QByteArray body = content.readAll();
    responder.writeStatusLine(Status::Ok);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Content-Security-Policy",
                          "default-src 'self'; connect-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    // The link's token, kept so that the page can be opened again without it.
    if (needs_token_ && QUrlQuery(request.url()).hasQueryItem(QStringLiteral("token")))
        responder.writeHeader("Set-Cookie", QByteArray(kCookie) + '=' + keys_.token().toLatin1() +
                                                "; Path=/; HttpOnly; SameSite=Strict; Max-Age=31536000");
    responder.writeBody(request.method() == QHttpServerRequest::Method::Head ? QByteArray() : body);
}

// A WebSocket handshake arrives here first; the server upgrades the
// connection once this returns without an answer. One that may not go on
// is answered and cut off here, before the upgrade.
void WebDoor::open_socket(const QHttpServerRequest& request, QHttpServerResponder&& responder)
{
    int status = refusal(request);
    if (!status && header(request, "Upgrade").compare("websocket", Qt::CaseInsensitive) != 0)
        status = int(Status::BadRequest);
    if (!status && page_count() >= kMaxPages)
        status = int(Status::ServiceUnavailable);
    if (!status)
        return;
    QTcpSocket* socket = responder.socket();
    responder.write(Status(status));
    socket->flush();
    socket->abort();
}

void WebDoor::take_socket()
{
    while (std::unique_ptr<QWebSocket> socket = http_->nextPendingWebSocketConnection()) {
        const QNetworkRequest handshake = socket->request();
        if (!allowed(handshake.rawHeader("Host"), socket->origin().toUtf8(), socket->requestUrl(),
                     handshake.rawHeader("Cookie")) ||
            page_count() >= kMaxPages) {
            socket->abort();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(kMaxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(kMaxMessageBytes);
        auto* page = new Page(std::move(socket), this);
        pages_.push_back(page);
        connect(page->socket, &QWebSocket::textMessageReceived, page,
                [this, page](const QString& text) { received(*page, text); });
        connect(page->socket, &QWebSocket::binaryMessageReceived, page, [page] { page->socket->abort(); });
        connect(page->socket, &QWebSocket::disconnected, page, [this, page] {
            std::erase(pages_, page);
            page->deleteLater();
        });
        page->send(hello());
    }
}

QByteArray WebDoor::hello() const
{
    static const QJsonArray settings = vocabulary();
    return json({{QStringLiteral("settings"), settings},
                 {QStringLiteral("state"), parsed(control::status_json(model_.state()))},
                 {QStringLiteral("line"), parsed(watch_line(line_, true))},
                 {QStringLiteral("message"), message_}});
}

void WebDoor::received(Page& page, const QString& text)
{
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    const double id = message.value(QStringLiteral("id")).toDouble(-1);
    const QJsonObject set = message.value(QStringLiteral("set")).toObject();
    if (!page.rate.take_now()) {
        answer(page, id, QStringLiteral("more than %1 choices a second").arg(kMaxChoicesPerSecond));
        return;
    }
    if (set.size() != 1) {
        answer(page, id, QStringLiteral("not a choice: send {\"id\": N, \"set\": {\"NAME\": VALUE}}"));
        return;
    }
    const QString name = set.begin().key();
    const QJsonValue value = set.begin().value();
    const std::string word = value.isDouble() ? std::to_string(value.toInt()) : value.toString().toStdString();
    std::string error;
    const std::optional<control::Assignment> assignment = control::parse_assignment(name.toStdString(), word, error);
    if (!assignment) {
        answer(page, id, QString::fromStdString(error));
        return;
    }
    const protocol::Command& command = assignment->setting->command;
    if (const QString refusal = model_.refusal(command, assignment->value); !refusal.isEmpty()) {
        answer(page, id, refusal);
        return;
    }
    const QPointer<Page> from(&page);
    model_.set(command, assignment->value, Door::Web, [this, from, id](const Outcome& outcome) {
        // Answered from the event loop: the model may be in the middle of
        // its own work here.
        QMetaObject::invokeMethod(
            this,
            [this, from, id, outcome] {
                if (from)
                    answer(*from, id, outcome.ok() ? QString() : outcome.reason);
            },
            Qt::QueuedConnection);
    });
}

void WebDoor::answer(Page& page, double id, const QString& error)
{
    QJsonObject reply{{QStringLiteral("id"), id}, {QStringLiteral("ok"), error.isEmpty()}};
    if (!error.isEmpty())
        reply.insert(QStringLiteral("error"), error);
    page.send(json(reply));
}

void WebDoor::to_every_page(const QByteArray& message)
{
    for (Page* page : std::vector(pages_))
        page->send(message);
}

}  // namespace plenvo
