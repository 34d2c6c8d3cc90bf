#include "doors/line_state.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "unit/unit_model.h"

namespace plenvo {

namespace {

const char* kind_word(LineState::Kind kind)
{
    switch (kind) {
    case LineState::Kind::Opened: return "opened";
    case LineState::Kind::NotAnswering: return "not answering";
    case LineState::Kind::Error: return "error";
    }
    return "";
}

// The text as a JSON string, quotes included.
std::string json_string(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2).toStdString();
}

QString port_name(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

}  // namespace

LineState line_state(const UnitModel& model)
{
    const int port = model.port();
    const QString problem = model.line_problem(port);
    if (!model.port_ok())
        return {port, LineState::Kind::Error, problem.isEmpty() ? QStringLiteral("the port is not open") : problem};
    if (!problem.isEmpty())
        return {port, LineState::Kind::NotAnswering, problem};
    return {port, LineState::Kind::Opened, {}};
}

std::string watch_line(const LineState& line, bool json)
{
    const std::string port = port_name(line.port).toStdString();
    const std::string kind = kind_word(line.kind);
    if (json) {
        std::string text = "{\"port\": \"" + port + "\", \"state\": \"" + kind + '"';
        if (!line.reason.isEmpty())
            text += ", \"reason\": " + json_string(line.reason);
        return text + '}';
    }
    std::string text = "port " + port + ' ' + kind;
    if (!line.reason.isEmpty())
        text += ": " + line.reason.toStdString();
    return text;
}

QString LineLog::next(const LineState& now)
{
    if (last_ == now)
        return {};
    const bool same_port = last_ && last_->port == now.port;
    if (!same_port)
        was_open_ = false;
    // What the same port's line was before.
    const bool was_not_answering = same_port && last_->kind == LineState::Kind::NotAnswering;
    const bool was_working = same_port && last_->kind != LineState::Kind::Error;
    last_ = now;

    QString what;
    switch (now.kind) {
    case LineState::Kind::Opened:
        what = was_not_answering ? QStringLiteral("answering again")
               : was_open_       ? QStringLiteral("back")
                                 : QStringLiteral("opened");
        break;
    case LineState::Kind::NotAnswering: what = QStringLiteral("not answering: ") + now.reason; break;
    case LineState::Kind::Error:
        what = (was_working ? QStringLiteral("lost: ") : QStringLiteral("can't work: ")) +
               now.reason;
        break;
    }
    if (now.kind != LineState::Kind::Error)
        was_open_ = true;
    return port_name(now.port) + QStringLiteral(": ") + what;
}

}  // namespace plenvo
