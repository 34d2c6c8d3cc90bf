// The control protocol served on the unit model alone, without windows:
// sets answered from their outcome, status and watch, and clients that
// misbehave or leave. Clients are real local sockets in this process; the
// unit is simulated behind a scripted line on the simulated clock.

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "control/request.h"
#include "devices/access_token.h"
#include "doors/control_server.h"
#include "doors/door_keys.h"
#include "doors/line_state.h"
#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"
#include "unit/unit_model.h"

namespace plenvo::testing {
namespace {

constexpr uint64_t kAnswerWithinMs = 5000;

// The model on a unit that has reported its state, and the server on it.
class Rig {
public:
    Rig()
    {
        serial.answer_with(unit);
        EXPECT_TRUE(model.open_start_up_port(1));
        model.request_state();
        platform.run_for(300);
        server = std::make_unique<ControlServer>(model);
        EXPECT_EQ(server->listen_local(socket_path()), QString());
        server->start_serving();
        serial.sent.clear();
    }

    QString socket_path() const { return folder.filePath(QStringLiteral("ctl.socket")); }

    std::unique_ptr<QLocalSocket> connect_client()
    {
        auto client = std::make_unique<QLocalSocket>();
        client->connectToServer(socket_path());
        EXPECT_TRUE(client->waitForConnected(1000));
        return client;
    }

    void send(QLocalSocket& client, const QByteArray& bytes)
    {
        client.write(bytes);
        client.flush();
    }

    // The next line the client gets, running the program until it comes;
    // empty when none came in time.
    std::string next_line(QLocalSocket& client, uint64_t within_ms = kAnswerWithinMs)
    {
        const uint64_t until = platform.now() + within_ms;
        while (!client.canReadLine() && platform.now() < until)
            platform.yield();
        return client.readLine().trimmed().toStdString();
    }

    std::string ask(QLocalSocket& client, const char* line)
    {
        send(client, QByteArray(line) + '\n');
        return next_line(client);
    }

    std::string ask(const char* line) { return ask(*connect_client(), line); }

    // What the server tells of failed sets from here on.
    const QStringList& failures()
    {
        QObject::connect(server.get(), &ControlServer::set_failed, [this](const QString& why) { failed_ << why; });
        return failed_;
    }

    // A report of the unit's own, applied.
    void report(char first, char second, uint8_t value)
    {
        unit.report({uint8_t(first), uint8_t(second), value});
        serial.receive(protocol::Frame{uint8_t(first), uint8_t(second), value});
        platform.run_for(150);
    }

    QTemporaryDir folder;
    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    UnitModel model{platform, serial};
    std::unique_ptr<ControlServer> server;

private:
    QStringList failed_;
};

class ControlServerTest : public ::testing::Test, protected Rig {};

TEST(ControlServer, ASetIsAnsweredFromItsOutcomeWithTheProtocolsWords)
{
    struct Case {
        const char* name;
        std::function<void(Rig&)> before;
        const char* line;
        std::string answer;
        std::vector<std::string> sent;
    };
    const auto nothing = [](Rig&) {};
    const std::vector<Case> cases = {
        {"answered, in the order given", nothing, "set output 720p input yuv", "ok", {"OU 6", "IN 2"}},
        {"a value the unit holds", nothing, "set power on", "ok", {}},
        {"power off refuses the rest",
         [](Rig& t) { t.report('P', 'W', 0); },
         "set output 720p",
         "error the power is off: only power can be set",
         {}},
        {"bypass input needs the bypass", nothing, "set input bypass", "error input bypass needs bypass on", {}},
        {"the bypass first, then its input", nothing, "set bypass on input bypass", "ok", {"BY 1", "IN 4"}},
        {"port closed", [](Rig& t) { t.model.close_port(); }, "set power on",
         "error COM1: the port is not open", {}},
        {"not answered ends the set",
         [](Rig& t) { t.serial.on_frame = nullptr; },
         "set output 720p bright 40 tint 2",
         "error the unit did not answer output 720p; not sent: bright 40, tint 2",
         {"OU 6", "OU 6", "OU 6", "OU 6", "OU 6"}},
        {"a level the unit does not hold",
         [](Rig& t) {
             // The unit takes 40 as 39.
             t.serial.on_frame = [&t](const protocol::Frame& f) {
                 const std::vector<protocol::Frame> replies =
                     t.unit.answer({f.first, f.second, uint8_t(f.first == 'B' && f.value == 40 ? 39 : f.value)});
                 t.platform.after(20, [&t, replies] {
                     for (const protocol::Frame& reply : replies)
                         t.serial.receive(reply);
                 });
             };
         },
         "set bright 40 volume 3",
         "error the unit reports bright 39 after bright 40; not sent: volume 3",
         {"BR 40", "AL 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.before(rig);
        rig.serial.sent.clear();
        const QStringList& failed = rig.failures();
        EXPECT_EQ(rig.ask(c.line), c.answer);
        EXPECT_EQ(rig.serial.sent_text(), c.sent);
        // A failure is also told for the program's log, in the same words.
        const QStringList logged =
            c.answer.starts_with("error ") ? QStringList{QString::fromStdString(c.answer.substr(6))} : QStringList{};
        EXPECT_EQ(failed, logged);
    }
}

TEST_F(ControlServerTest, SettingsOfOneRequestGoOutEachAfterThePreviousOutcome)
{
    serial.answer_with(unit, 50);
    EXPECT_EQ(ask("set output 720p contrast 12 input yuv"), "ok");
    ASSERT_EQ(serial.sent_text(), (std::vector<std::string>{"OU 6", "CO 12", "IN 2"}));
    // The line is free at the end of the 0.2 s step the answer came in.
    for (size_t i = 1; i < serial.sent.size(); ++i)
        EXPECT_GE(serial.sent[i].at - serial.sent[i - 1].at, 200u) << i;
    EXPECT_EQ(model.state().video_co, 12);
}

TEST_F(ControlServerTest, ASetQueuedBehindAnotherDoorsCommandGoesOutAfterIt)
{
    serial.answer_with(unit, 300);  // a slow unit: the window's command waits
    bool window_done = false;
    model.set(protocol::kOU, 7, Door::Windows, [&](const Outcome& o) { window_done = o.ok(); });
    auto client = connect_client();
    EXPECT_EQ(ask(*client, "set bright 40"), "ok");
    EXPECT_TRUE(window_done);
    EXPECT_EQ(serial.sent_text().front(), "OU 7");
    EXPECT_EQ(serial.sent_with('B', 'R').size(), 1u);
}

TEST_F(ControlServerTest, StatusAnswersFromTheModelOrSaysWhyNot)
{
    report('B', 'R', 12);
    EXPECT_EQ(ask("status"), control::status_answer(model.state(), false));
    EXPECT_EQ(ask("STATUS JSON"), control::status_answer(model.state(), true));
    EXPECT_NE(ask("status").find(" bright 12 "), std::string::npos);
    EXPECT_TRUE(serial.sent.empty()) << "status is answered from what the model knows";

    model.close_port();
    EXPECT_EQ(ask("status"), "error COM1: the port is not open");
}

TEST_F(ControlServerTest, EachWatcherGetsOneLinePerRealChangeAndPerChangeOfTheLine)
{
    auto plain = connect_client();
    auto json = connect_client();
    auto second_plain = connect_client();
    EXPECT_EQ(ask(*plain, "watch"), "ok");
    EXPECT_EQ(ask(*json, "watch json"), "ok");
    EXPECT_EQ(ask(*second_plain, "watch"), "ok");

    report('B', 'R', 12);
    report('B', 'R', 12);  // the same value again: no change
    report('O', 'K', 0);   // carries no setting
    EXPECT_EQ(ask("set output 720p"), "ok");
    // A state request that finds nothing new adds nothing.
    model.request_state();
    platform.run_for(300);
    serial.lose_device();
    platform.run_for(300);
    const std::string lost = model.line_problem(1).toStdString();
    ASSERT_FALSE(lost.empty());
    // The device is back a second later; the state it is asked for then
    // holds nothing new.
    platform.run_for(1500);

    for (QLocalSocket* watcher : {plain.get(), second_plain.get()}) {
        EXPECT_EQ(next_line(*watcher), "bright 12");
        EXPECT_EQ(next_line(*watcher), "output 720p");
        EXPECT_EQ(next_line(*watcher), "port COM1 error: " + lost);
        EXPECT_EQ(next_line(*watcher), "port COM1 opened");
        EXPECT_EQ(next_line(*watcher, 500), "");
    }
    EXPECT_EQ(next_line(*json), "{\"bright\": 12}");
    EXPECT_EQ(next_line(*json), "{\"output\": \"720p\"}");
    EXPECT_EQ(next_line(*json), R"({"port": "COM1", "state": "error", "reason": ")" + lost + "\"}");
    EXPECT_EQ(next_line(*json), R"({"port": "COM1", "state": "opened"})");
    EXPECT_EQ(next_line(*json, 500), "");
}

TEST_F(ControlServerTest, UntilServingOnlyStatusAndSetWait)
{
    server = std::make_unique<ControlServer>(model);
    ASSERT_EQ(server->listen_local(socket_path()), QString());
    auto client = connect_client();
    EXPECT_EQ(ask(*client, "ping"), "ok");
    send(*client, "status\nset output 720p\nping\n");
    EXPECT_EQ(next_line(*client, 500), "");
    EXPECT_TRUE(serial.sent.empty());
    const std::string status_before_the_set = control::status_answer(model.state(), false);
    server->start_serving();
    EXPECT_EQ(next_line(*client), status_before_the_set);
    EXPECT_EQ(next_line(*client), "ok");
    EXPECT_EQ(next_line(*client), "ok");
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"OU 6"});
}

TEST_F(ControlServerTest, BadLinesAreAnsweredInOrderAndTheConnectionGoesOn)
{
    auto client = connect_client();
    send(*client, "bogus\n\nset brite 4\n" + QByteArray(2000, 'x') + "\nping\x01\r\nping\r\n");
    EXPECT_TRUE(next_line(*client).starts_with("error unknown command \"bogus\""));
    EXPECT_TRUE(next_line(*client).starts_with("error unknown setting \"brite\""));
    EXPECT_EQ(next_line(*client), "error line longer than 1024 bytes");
    EXPECT_EQ(next_line(*client), "error a byte that is not text (0x01)");
    EXPECT_EQ(next_line(*client), "ok");
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(ControlServerTest, AClientThatLeavesMidCommandStillHasItsSettingsCarriedOut)
{
    serial.answer_with(unit, 100);
    const QStringList& failed = failures();
    {
        auto client = connect_client();
        // The last line has no line end: the end of the connection ends it.
        send(*client, "set output 720p\nset bright 9");
        platform.run_for(10);
        ASSERT_EQ(serial.sent_text(), std::vector<std::string>{"OU 6"}) << "gone while its command is out";
    }
    platform.run_for(3000);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"OU 6", "BR 9"}));
    EXPECT_EQ(model.state().video_br, 9);
    EXPECT_EQ(server->client_count(), 0);
    EXPECT_TRUE(failed.isEmpty());

    // The server itself may go while a command is out: its outcome then
    // finds no one.
    auto client = connect_client();
    send(*client, "set output vga\n");
    platform.run_for(10);
    server.reset();
    platform.run_for(3000);
    EXPECT_EQ(model.state().output_format, 0);
}

TEST_F(ControlServerTest, ClientsBeyondTheCapAreTurnedAway)
{
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    for (int i = 0; i < ControlServer::kMaxClients; ++i) {
        clients.push_back(connect_client());
        EXPECT_EQ(ask(*clients.back(), "ping"), "ok");
    }
    auto one_too_many = connect_client();
    EXPECT_EQ(next_line(*one_too_many), "error too many clients (16 at most)");
    clients.pop_back();
    platform.run_for(20);
    EXPECT_EQ(ask("ping"), "ok");
}

// What a TCP client gets from its first bytes on, and whether the server
// ends the connection, running the program until it is closed or a second
// has passed on the simulated clock.
std::vector<std::string> lines_until_closed(Rig& rig, QTcpSocket& client, bool& closed)
{
    std::vector<std::string> lines;
    const uint64_t until = rig.platform.now() + 1000;
    while (client.state() == QAbstractSocket::ConnectedState && rig.platform.now() < until) {
        rig.platform.yield();
        while (client.canReadLine())
            lines.push_back(client.readLine().trimmed().toStdString());
    }
    while (client.canReadLine())
        lines.push_back(client.readLine().trimmed().toStdString());
    closed = client.state() != QAbstractSocket::ConnectedState;
    return lines;
}

TEST(ControlServer, OnTcpAnHttpRequestOrAStrangerIsShutOutBeforeAnythingIsDone)
{
    struct Case {
        const char* name;
        bool token_asked;
        QByteArray bytes;
        std::vector<std::string> answers;
        bool closed;
        std::vector<std::string> sent;
    };
    const std::vector<Case> cases = {
        {"a browser's post", false,
         "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 15\r\n\r\nset output vga\n", {}, true, {}},
        {"a header after a command, in one go", false, "set output 720p\r\nHost: 127.0.0.1\r\n", {}, true, {}},
        {"commands on loopback", false, "set output 720p\n", {"ok"}, false, {"OU 6"}},
        {"no token", true, "\nset output vga\n", {"error this port needs \"auth TOKEN\" first"}, true, {}},
        {"a wrong token", true, "auth nope\nset output vga\n", {"error wrong token"}, true, {}},
        {"the token", true, "auth TOKEN\nset output 720p\n", {"ok", "ok"}, false, {"OU 6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        DoorKeys keys(AccessToken(rig.folder.filePath(QStringLiteral("token"))));
        ASSERT_EQ(keys.load(), QString());
        ASSERT_EQ(rig.server->listen_tcp(QHostAddress::LocalHost, 0, c.token_asked ? &keys : nullptr), QString());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, rig.server->tcp_port());
        ASSERT_TRUE(client.waitForConnected(1000));
        client.write(QByteArray(c.bytes).replace("TOKEN", keys.token().toLatin1()));
        client.flush();
        bool closed = false;
        EXPECT_EQ(lines_until_closed(rig, client, closed), c.answers);
        EXPECT_EQ(closed, c.closed);
        EXPECT_EQ(rig.serial.sent_text(), c.sent);
    }
}

TEST_F(ControlServerTest, ANewTokenEndsTheSessionsOfTheOldOneAndAHurriedClientIsHeldToItsPace)
{
    const AccessToken file(folder.filePath(QStringLiteral("token")));
    DoorKeys keys(file);
    ASSERT_EQ(keys.load(), QString());
    ASSERT_EQ(server->listen_tcp(QHostAddress::LocalHost, 0, &keys), QString());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server->tcp_port());
    ASSERT_TRUE(client.waitForConnected(1000));
    QByteArray burst = "auth " + keys.token().toLatin1() + '\n';
    for (int i = 0; i < ControlServer::kMaxCommandsPerSecond + 5; ++i)
        burst += "ping\n";
    client.write(burst);
    client.flush();
    std::vector<std::string> answers;
    while (answers.size() < size_t(ControlServer::kMaxCommandsPerSecond + 6) && platform.now() < 3000) {
        platform.yield();
        while (client.canReadLine())
            answers.push_back(client.readLine().trimmed().toStdString());
    }
    ASSERT_EQ(answers.size(), size_t(ControlServer::kMaxCommandsPerSecond + 6));
    EXPECT_EQ(std::count(answers.begin(), answers.end(), "ok"), ControlServer::kMaxCommandsPerSecond + 1);
    EXPECT_EQ(answers.back(), "error more than 50 commands a second");

    const QString old = keys.token();
    QString error;
    ASSERT_FALSE(file.renew(error).isEmpty()) << error.toStdString();
    // The file's change is noticed on the real clock.
    const QDeadlineTimer deadline(3000);
    while (client.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        platform.yield();
    EXPECT_NE(client.state(), QAbstractSocket::ConnectedState);
    EXPECT_NE(keys.token(), old);
}

TEST(LineLog, TellsEachChangeOfTheLineOnceInItsOwnWords)
{
    using Kind = LineState::Kind;
    const struct {
        LineState now;
        const char* told;
    } steps[] = {
        {{2, Kind::Error, "no such device"}, "COM2: can't work: no such device"},
        {{1, Kind::Opened, {}}, "COM1: opened"},
        {{1, Kind::Opened, {}}, ""},
        {{1, Kind::Error, "unplugged (again every 1 s)"}, "COM1: lost: unplugged (again every 1 s)"},
        {{1, Kind::Error, "unplugged (again every 2 s)"}, "COM1: can't work: unplugged (again every 2 s)"},
        {{1, Kind::Opened, {}}, "COM1: back"},
        {{1, Kind::NotAnswering, "silent"}, "COM1: not answering: silent"},
        {{1, Kind::Opened, {}}, "COM1: answering again"},
        {{2, Kind::Opened, {}}, "COM2: opened"},
    };
    LineLog log;
    for (const auto& step : steps)
        EXPECT_EQ(log.next(step.now), QString::fromLatin1(step.told));
}

}  // namespace
}  // namespace plenvo::testing
