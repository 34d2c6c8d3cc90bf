#include "control/panel_client.h"

#include <QDeadlineTimer>

namespace plenvo {

namespace {

constexpr int kConnectMs = 1000;
constexpr int kRaiseMs = 2000;

}  // namespace

bool PanelClient::connect_to(const QString& path)
{
    socket_.connectToServer(path);
    return socket_.waitForConnected(kConnectMs);
}

std::optional<std::string> PanelClient::ask(std::string_view command, int timeout_ms)
{
    const QByteArray line = QByteArray(command.data(), qsizetype(command.size())) + '\n';
    if (socket_.write(line) != line.size() || !socket_.waitForBytesWritten(kConnectMs))
        return std::nullopt;
    return next_line(timeout_ms);
}

std::optional<std::string> PanelClient::next_line(int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(timeout_ms));
    while (!socket_.canReadLine()) {
        if (socket_.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
            return std::nullopt;
        const qint64 left = deadline.isForever() ? -1 : std::max<qint64>(1, deadline.remainingTime());
        socket_.waitForReadyRead(int(left));
    }
    QByteArray line = socket_.readLine();
    line.chop(line.endsWith("\r\n") ? 2 : 1);
    return line.toStdString();
}

bool PanelClient::raise(const QString& path)
{
    PanelClient client;
    if (!client.connect_to(path))
        return false;
    const std::optional<std::string> answer = client.ask("raise", kRaiseMs);
    return answer && *answer == "ok";
}

}  // namespace plenvo
