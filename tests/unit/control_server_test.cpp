// The panel serving the control protocol: settings carried out by the
// windows' own handlers, its rules, status and watch, and clients that
// misbehave. Clients are real local sockets in this process.

#include <QLabel>
#include <QLocalSocket>
#include <QScrollBar>

#include "doors/control_server.h"
#include "control/request.h"
#include "support/panel_fixture.h"
#include "windows/window_tables.h"

namespace plenvo::testing {
namespace {

constexpr uint64_t kAnswerWithinMs = 5000;

class ControlServerTest : public PanelTest {
protected:
    void SetUp() override
    {
        start();
        server = std::make_unique<ControlServer>(*frm, platform);
        ASSERT_EQ(server->listen_local(socket_path()), QString());
        server->start_serving();
        forget_sent();
    }

    QString socket_path() const { return folder.filePath(QStringLiteral("ctl.socket")); }

    std::unique_ptr<QLocalSocket> connect_client()
    {
        auto client = std::make_unique<QLocalSocket>();
        client->connectToServer(socket_path());
        EXPECT_TRUE(client->waitForConnected(1000));
        return client;
    }

    void send(QLocalSocket& client, QByteArray bytes)
    {
        client.write(bytes);
        client.flush();
    }

    // The next line the client gets, running the panel until it comes.
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

    std::unique_ptr<ControlServer> server;
};

TEST_F(ControlServerTest, MainPanelSettingsArePressedLikeTheirButtons)
{
    EXPECT_EQ(ask("set output 720p input yuv"), "ok");
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"OU 6", "IN 2"}));
    EXPECT_EQ(picture(12), "720p_on");
    EXPECT_EQ(picture(3), "yuv_on");

    forget_sent();
    EXPECT_EQ(ask("set power off"), "ok");
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"PW 0"});
    EXPECT_EQ(picture(0), "power_off");
    EXPECT_EQ(picture(12), "720p_off");
}

TEST_F(ControlServerTest, APowerAlreadyHeldIsNotSwitchedOver)
{
    EXPECT_EQ(ask("set power on"), "ok");
    EXPECT_TRUE(serial.sent.empty());
    EXPECT_EQ(state.power_state, 1);
}

TEST_F(ControlServerTest, AdjustmentsGoThroughTheOpenWindowOrTheSamePathWhenClosed)
{
    power_on_with_companions();
    forget_sent();
    EXPECT_EQ(ask("set nr off lock on"), "ok");
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"NR 0", "FP 0"}));
    EXPECT_EQ(adj_picture(11), "off_on");
    EXPECT_EQ(adj_picture(6), "on_on");

    press(15);  // closes the adjustment window
    forget_sent();
    EXPECT_EQ(ask("set display off bypass on"), "ok");
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"DI 0", "BY 1"}));
    EXPECT_EQ(state.adj_di, 0);
    // The main panel's bypass button shows the permission at once.
    EXPECT_EQ(picture(tables::kBypassElement), "bypass_off");
    EXPECT_TRUE(frm->img_btn(tables::kBypassElement)->isEnabled());
}

TEST_F(ControlServerTest, VideoSettingsMoveTheOpenSlidersOrGoTheSamePathWhenClosed)
{
    power_on_with_companions();
    forget_sent();
    EXPECT_EQ(ask("set bright 40 volume 0"), "ok");
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"BR 40", "VO 0"}));
    EXPECT_EQ(frm->frm_video()->hsr_video(0)->value(), 40);
    EXPECT_EQ(frm->frm_video()->lab_video(0)->text(), "40");
    EXPECT_EQ(frm->frm_video()->hsr_video(5)->value(), 0);

    press(16);  // closes the video window
    forget_sent();
    EXPECT_EQ(ask("set tint 5"), "ok");
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"TI 5"});
    EXPECT_EQ(state.video_ti, 5);
}

TEST_F(ControlServerTest, ThePanelsRulesRefuseWithTheReason)
{
    EXPECT_EQ(ask("set input bypass"), "error input bypass needs bypass on");
    EXPECT_EQ(ask("set power off"), "ok");
    forget_sent();
    EXPECT_EQ(ask("set output 720p"), "error the power is off: only power can be set");
    EXPECT_EQ(ask("set bright 3"), "error the power is off: only power can be set");
    EXPECT_TRUE(serial.sent.empty());

    model.close_port();
    EXPECT_EQ(ask("set power on"), "error COM1: the port is not open");
    EXPECT_EQ(ask("status"), "error COM1: the port is not open");
    EXPECT_TRUE(serial.sent.empty());
}

TEST_F(ControlServerTest, ASettingTheUnitDoesNotAnswerEndsTheSet)
{
    serial.on_frame = nullptr;
    EXPECT_EQ(ask("set output 720p bright 40 tint 2"),
              "error the unit did not answer output 720p; not sent: bright 40, tint 2");
    EXPECT_EQ(serial.sent_with('B', 'R').size(), 0u);
    // The choice stays on the panel, as after a click.
    EXPECT_EQ(picture(12), "720p_on");
}

TEST_F(ControlServerTest, ASetWaitsForACommandOfTheUsersAndGoesOutAfterIt)
{
    serial.answer_with(unit, 300);  // a slow unit: the click's command waits
    auto client = connect_client();
    send(*client, "set bright 40\n");
    press(11);  // 1080i; the client's line comes in while it waits
    EXPECT_EQ(next_line(*client), "ok");
    EXPECT_EQ(serial.sent_text().front(), "OU 7");
    EXPECT_EQ(serial.sent_with('B', 'R').size(), 1u);
}

TEST_F(ControlServerTest, StatusAnswersFromThePanelsState)
{
    report('B', 'R', 12);
    EXPECT_EQ(ask("status"), control::status_answer(state, false));
    EXPECT_EQ(ask("STATUS JSON"), control::status_answer(state, true));
    EXPECT_NE(ask("status").find(" bright 12 "), std::string::npos);
}

TEST_F(ControlServerTest, WatchersGetALinePerAppliedReport)
{
    auto plain = connect_client();
    auto json = connect_client();
    EXPECT_EQ(ask(*plain, "watch"), "ok");
    EXPECT_EQ(ask(*json, "watch json"), "ok");
    report('B', 'R', 12);
    report('O', 'K', 0);  // carries no setting
    report('O', 'U', 6);
    EXPECT_EQ(next_line(*plain), "bright 12");
    EXPECT_EQ(next_line(*plain), "output 720p");
    EXPECT_EQ(next_line(*json), "{\"bright\": 12}");
}

TEST_F(ControlServerTest, RaiseBringsTheMinimisedPanelBack)
{
    frm->showMinimized();
    EXPECT_EQ(ask("raise"), "ok");
    EXPECT_FALSE(frm->isMinimized());
    EXPECT_TRUE(frm->isVisible());
}

TEST_F(ControlServerTest, UntilTheStartUpHasTheStateOnlyStatusAndSetWait)
{
    server = std::make_unique<ControlServer>(*frm, platform);
    ASSERT_EQ(server->listen_local(socket_path()), QString());
    auto client = connect_client();
    EXPECT_EQ(ask(*client, "ping"), "ok");
    send(*client, "status\n");
    EXPECT_EQ(next_line(*client, 500), "");
    server->start_serving();
    EXPECT_EQ(next_line(*client), control::status_answer(state, false));
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

TEST_F(ControlServerTest, AClientThatLeavesMidCommandStillHasItsSettingCarriedOut)
{
    {
        auto client = connect_client();
        // The last line has no line end: the end of the connection ends it.
        send(*client, "set output 720p\nset bright 9");
        platform.run_for(10);
    }
    platform.run_for(3000);
    EXPECT_EQ(serial.sent_text(), (std::vector<std::string>{"OU 6", "BR 9"}));
    EXPECT_EQ(server->client_count(), 0);
    run_deferred_deletes();
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

}  // namespace
}  // namespace plenvo::testing
