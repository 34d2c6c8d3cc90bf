#include "sim/tcp_line.h"

#include <QTcpSocket>

#include <iostream>
#include <utility>

namespace plenvo::sim {

namespace {

QHostAddress host_address(const QString& host)
{
    if (host == QLatin1String("localhost"))
        return QHostAddress(QHostAddress::LocalHost);
    return QHostAddress(host.startsWith('[') && host.endsWith(']') ? host.mid(1, host.size() - 2) : host);
}

std::string endpoint(const QHostAddress& address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? '[' + address.toString() + ']'
                             : address.toString();
    return (host + ':' + QString::number(port)).toStdString();
}

}  // namespace

std::unique_ptr<TcpLine> TcpLine::open(const std::string& address, std::string& error)
{
    const QString text = QString::fromStdString(address);
    const qsizetype colon = text.lastIndexOf(':');
    bool number = false;
    const uint port = text.mid(colon + 1).toUInt(&number);
    const QHostAddress host = host_address(text.left(colon));
    if (colon < 0 || !number || port > 65535 || host.isNull()) {
        error = address + ": not HOST:PORT with an IP address or localhost and a port number";
        return nullptr;
    }
    std::unique_ptr<TcpLine> line(new TcpLine());
    if (!line->server_.listen(host, quint16(port))) {
        error = address + ": " + line->server_.errorString().toStdString();
        return nullptr;
    }
    return line;
}

TcpLine::TcpLine()
{
    QObject::connect(&server_, &QTcpServer::newConnection, [this] { take_panel(); });
}

std::string TcpLine::device() const
{
    return "socket://" + endpoint(server_.serverAddress(), server_.serverPort());
}

void TcpLine::write(std::span<const uint8_t> bytes)
{
    if (panel_)
        panel_->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

void TcpLine::take_panel()
{
    while (QTcpSocket* next = server_.nextPendingConnection()) {
        std::cerr << "plenvo-sim: panel connected from " << endpoint(next->peerAddress(), next->peerPort())
                  << std::endl;
        next->setSocketOption(QAbstractSocket::LowDelayOption, 1);  // answers go out at once
        if (QTcpSocket* before = std::exchange(panel_, next)) {
            std::cerr << "plenvo-sim: the panel before is cut off" << std::endl;
            before->abort();
            before->deleteLater();
        }
        QObject::connect(next, &QTcpSocket::readyRead, [this, next] {
            const QByteArray bytes = next->readAll();
            if (next == panel_)
                deliver({reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())});
        });
        QObject::connect(next, &QTcpSocket::disconnected, [this, next] {
            if (next == panel_)
                panel_ = nullptr;
            next->deleteLater();
        });
    }
}

}  // namespace plenvo::sim
