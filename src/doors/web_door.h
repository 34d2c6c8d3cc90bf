#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "doors/line_state.h"
#include "doors/page_door.h"
#include "wire/protocol.h"

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QWebSocket;

namespace plenvo {

class DoorKeys;
class UnitModel;

// The unit's controls as a web page for phones, tablets and desktops, with
// the names plenvo-ctl uses. The page keeps a WebSocket open at /live and
// gets there, as JSON, the unit's whole state when it connects, then every
// change of it, whoever made it:
//
//   {"settings": [{"name": "power", "words": ["on", "off"]}, ..., {"name": "bright", "min": 0, "max": 63}, ...],
//    "state": {"power": "on", ...}, "line": {"port": "COM1", "state": "opened"}, "message": ""}
//   {"changed": {"bright": 40}}
//   {"line": {"port": "COM1", "state": "error", "reason": "WHY"}}
//   {"message": "Tx  fail !"}
//
// A choice goes the other way, and is answered from its outcome:
//
//   {"id": 7, "set": {"bright": 40}}     {"id": 7, "ok": true}
//                                        {"id": 7, "ok": false, "error": "WHY"}
//
// Who may use it: a request whose Host is not this server's own address or
// name, or a WebSocket handshake from another site's page, gets 403. Away
// from loopback the page and the socket need the token, in the link
// (?token=...) or in the cookie the page then sets; without it, 401. No GET
// changes anything: changes come over the socket only.
class WebDoor final : public PageDoor {
    Q_OBJECT
public:
    static constexpr int kMaxPages = 100;
    static constexpr int kMaxMessageBytes = 4096;
    static constexpr int kMaxChoicesPerSecond = 50;
    // What a page leaves unread beyond this ends its socket.
    static constexpr qint64 kMaxUnsent = 256 * 1024;

    WebDoor(UnitModel& model, DoorKeys& keys);
    ~WebDoor() override;

    // Away from loopback, `keys` must hold the token.
    QString listen(const QString& host, quint16 port) override;
    quint16 port() const { return port_; }
    QString link() const override;
    int page_count() const { return int(pages_.size()); }

private:
    class Page;

    // The status to answer a request that may not go on, or 0.
    int refusal(const QHttpServerRequest& request) const;
    bool allowed(const QByteArray& host, const QByteArray& origin, const QUrl& url, const QByteArray& cookie) const;
    void serve_file(const QHttpServerRequest& request, QHttpServerResponder&& responder, const QString& file,
                    const QByteArray& type);
    void open_socket(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    void take_socket();
    void received(Page& page, const QString& text);
    void answer(Page& page, double id, const QString& error);
    void to_every_page(const QByteArray& message);
    QByteArray hello() const;

    UnitModel& model_;
    DoorKeys& keys_;
    std::unique_ptr<QHttpServer> http_;
    std::vector<std::string> names_;
    quint16 port_ = 0;
    bool needs_token_ = false;
    QHostAddress host_;
    std::vector<Page*> pages_;
    LineState line_;
    QString message_;
};

}  // namespace plenvo
