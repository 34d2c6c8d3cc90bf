#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/setting_table.h"
#include "doors/broker_door.h"
#include "doors/line_state.h"
#include "doors/mqtt_client.h"
#include "doors/mqtt_topics.h"

namespace plenvo {

class UnitModel;

// The unit on an MQTT broker, for home automation (topics in
// doors/mqtt_topics.h). A command goes through the unit model as a click
// does; a state topic changes only when the unit answers or reports. What is
// published is published again after every reconnection, and the discovery
// messages also when Home Assistant comes online.
class MqttDoor final : public BrokerDoor {
    Q_OBJECT
public:
    struct Settings {
        MqttClient::Settings client;  // its will is set here
        mqtt::Device device;
        // Empty: no discovery messages.
        std::string discovery_prefix;
        // Each file in it is a preset, offered as a button named after it.
        QString presets_folder;
    };

    MqttDoor(UnitModel& model, Settings settings);
    // Says "offline" and leaves the broker.
    ~MqttDoor() override;

    void start() override { client_.start(); }
    const std::vector<std::string>& presets() const { return presets_; }

private:
    void connected();
    void received(const QByteArray& topic, const QByteArray& payload, bool retained);
    void set(const control::Assignment& assignment);
    void load_preset(const std::string& name);
    void failed(const std::string& what);
    void publish_state(size_t setting);
    void publish_line();
    void publish_discovery();
    void publish_online();

    UnitModel& model_;
    Settings settings_;
    MqttClient client_;
    std::vector<std::string> presets_;
    // The unit's values as it reported or answered them.
    std::array<std::optional<int>, control::kSettings.size()> values_{};
    bool answered_ = false;
    QString last_problem_;
};

}  // namespace plenvo
