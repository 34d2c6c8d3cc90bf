// The broker door against the mosquitto broker on a loopback port, with a
// client of its own standing in for Home Assistant, both on the program's
// event loop:
//
// BM_MqttCommandToWire: a value published on bright/set until its frame is
// handed to the port. Goal: 50 ms.
// BM_MqttReportToState: a report of the unit arriving on the line until its
// state topic reaches the subscriber. Goal: 50 ms.

#include <QTcpServer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <optional>

#include "child_process.h"
#include "doors/mqtt_door.h"
#include "running_panel.h"
#include "sim/unit.h"

namespace plenvo::bench {

namespace {

constexpr int kBrokerStartsWithinMs = 5000;
const std::string kBase = "plenvo/bench";

int free_port()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// mosquitto on a free port of 127.0.0.1, its configuration in `folder`.
class Broker {
public:
    explicit Broker(const QTemporaryDir& folder) : port_(free_port())
    {
        const std::string config = folder.filePath(QStringLiteral("mosquitto.conf")).toStdString();
        std::ofstream(config) << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\nlog_dest stderr\n";
        child_ = std::make_unique<Child>(std::vector<std::string>{"/usr/sbin/mosquitto", "-c", config});
        started_ = child_->read_until(" running", kBrokerStartsWithinMs);
    }
    bool started() const { return started_; }
    int port() const { return port_; }

private:
    int port_;
    std::unique_ptr<Child> child_;
    bool started_ = false;
};

MqttClient::Settings client_settings(int port, const char* id)
{
    MqttClient::Settings settings;
    settings.broker.host = "127.0.0.1";
    settings.broker.port = port;
    settings.client_id = id;
    return settings;
}

// The panel with the broker door, and a subscriber to the unit's topics.
struct OnBroker {
    explicit OnBroker(int port)
        : door(panel.model(), {client_settings(port, "plenvo-bench"), {"bench", kBase, PLENVO_VERSION}, {}, {}}),
          home(client_settings(port, "home-bench"))
    {
        panel.serial().on_frame = [this](const protocol::Frame& command) {
            if (on_frame)
                on_frame(command);
            for (const protocol::Frame& reply : unit.answer(command))
                panel.serial().receive(reply);
        };
        QObject::connect(&home, &MqttClient::connected, [this] { home.subscribe(kBase + "/#"); });
        QObject::connect(&home, &MqttClient::received, [this](const QByteArray& topic, const QByteArray& payload) {
            if (on_message)
                on_message(topic, payload);
        });
        door.start();
        home.start();
    }

    // The broker, the panel and the door are up, or the benchmark is
    // skipped saying which is not.
    static std::unique_ptr<OnBroker> bring_up(const Broker& broker, benchmark::State& st)
    {
        if (!broker.started()) {
            st.SkipWithError("mosquitto did not start");
            return nullptr;
        }
        auto on = std::make_unique<OnBroker>(broker.port());
        return on->ready_for(st) ? std::move(on) : nullptr;
    }

    bool ready_for(benchmark::State& st)
    {
        if (!panel.ready_for(st))
            return false;
        bool online = false;
        on_message = [&online](const QByteArray& topic, const QByteArray& payload) {
            online = online || (topic.endsWith("/availability") && payload == "online");
        };
        // Online once the unit has said something.
        panel.serial().receive(protocol::Frame{'P', 'W', 1});
        const bool came = RunningPanel::run_until([&online] { return online; }, kGiveUpSeconds);
        on_message = nullptr;
        if (!came)
            st.SkipWithError("the door did not come online");
        return came;
    }

    RunningPanel panel;
    sim::Unit unit;
    MqttDoor door;
    MqttClient home;
    std::function<void(const protocol::Frame&)> on_frame;
    std::function<void(const QByteArray&, const QByteArray&)> on_message;
};

void BM_MqttCommandToWire(benchmark::State& st)
{
    QTemporaryDir folder;
    const Broker broker(folder);
    const std::unique_ptr<OnBroker> rig = OnBroker::bring_up(broker, st);
    if (!rig)
        return;
    OnBroker& on = *rig;
    Clock::time_point published;
    std::optional<double> handed_over;
    on.on_frame = [&](const protocol::Frame& command) {
        if (command.first == 'B' && command.second == 'R' && !handed_over)
            handed_over = seconds_since(published);
    };
    int value = 10;
    for (auto _ : st) {
        value = value == 10 ? 50 : 10;
        handed_over.reset();
        published = Clock::now();
        on.home.publish({kBase + "/bright/set", std::to_string(value), false});
        if (!RunningPanel::run_until([&] { return handed_over.has_value(); }, kGiveUpSeconds)) {
            st.SkipWithError("no frame reached the port");
            return;
        }
        st.SetIterationTime(*handed_over);
        if (!on.panel.run_until_idle()) {
            st.SkipWithError("the command did not end");
            return;
        }
    }
}

void BM_MqttReportToState(benchmark::State& st)
{
    QTemporaryDir folder;
    const Broker broker(folder);
    const std::unique_ptr<OnBroker> rig = OnBroker::bring_up(broker, st);
    if (!rig)
        return;
    OnBroker& on = *rig;
    QByteArray wanted;
    Clock::time_point sent;
    std::optional<double> arrived;
    on.on_message = [&](const QByteArray& topic, const QByteArray& payload) {
        if (!arrived && topic == QByteArray::fromStdString(kBase + "/contrast") && payload == wanted)
            arrived = seconds_since(sent);
    };
    uint8_t value = 10;
    for (auto _ : st) {
        value = value == 10 ? 50 : 10;
        wanted = QByteArray::number(value);
        arrived.reset();
        sent = Clock::now();
        on.panel.serial().receive(protocol::Frame{'C', 'O', value});
        if (!RunningPanel::run_until([&] { return arrived.has_value(); }, kGiveUpSeconds)) {
            st.SkipWithError("the state topic did not change");
            return;
        }
        st.SetIterationTime(*arrived);
    }
}

}  // namespace

BENCHMARK(BM_MqttCommandToWire)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MqttReportToState)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
