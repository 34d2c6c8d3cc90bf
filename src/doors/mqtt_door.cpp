#include "doors/mqtt_door.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include "control/preset.h"
#include "unit/unit_model.h"

namespace plenvo {

namespace {

constexpr std::string_view kOnline = "online";
constexpr std::string_view kOffline = "offline";
// Preset files are small; anything larger is not one.
constexpr qint64 kMaxPresetBytes = 64 * 1024;

std::optional<size_t> setting_index(const protocol::Command& command)
{
    for (size_t i = 0; i < control::kSettings.size(); ++i)
        if (control::kSettings[i].command.first == command.first &&
            control::kSettings[i].command.second == command.second)
            return i;
    return std::nullopt;
}

std::vector<std::string> preset_names(const QString& folder)
{
    std::vector<std::string> names;
    if (folder.isEmpty())
        return names;
    for (const QString& file : QDir(folder).entryList(QDir::Files | QDir::Readable, QDir::Name))
        names.push_back(file.toStdString());
    return names;
}

MqttClient::Settings with_will(MqttClient::Settings client, const mqtt::Device& device)
{
    client.will = {mqtt::availability_topic(device.base), std::string(kOffline), true};
    return client;
}

}  // namespace

MqttDoor::MqttDoor(UnitModel& model, Settings settings)
    : model_(model), settings_(std::move(settings)), client_(with_will(settings_.client, settings_.device)),
      presets_(preset_names(settings_.presets_folder))
{
    // A state topic follows the front panel within the unit's own time.
    model_.follow_reports();
    const QString broker = QStringLiteral("%1:%2").arg(QString::fromStdString(settings_.client.broker.host))
                               .arg(settings_.client.broker.port);
    connect(&client_, &MqttClient::connected, this, [this, broker] {
        last_problem_.clear();
        emit logged(QStringLiteral("mqtt: connected to ") + broker);
        connected();
    });
    connect(&client_, &MqttClient::disconnected, this, [this, broker](const QString& why, int retry_s) {
        // A broker that stays away is told once, not at every try.
        if (why != last_problem_)
            emit logged(QStringLiteral("mqtt: %1: %2 (tried again in %3 s, then less often)")
                            .arg(broker, why)
                            .arg(retry_s));
        last_problem_ = why;
    });
    connect(&client_, &MqttClient::refused, this, [this, broker](const QString& why) {
        if (why == last_problem_)
            return;
        last_problem_ = why;
        emit logged(QStringLiteral("mqtt: %1 refused the connection: %2").arg(broker, why));
        emit refused(QStringLiteral("MQTT: ") + why);
    });
    connect(&client_, &MqttClient::received, this, &MqttDoor::received);

    connect(&model_, &UnitModel::reported, this, [this](const protocol::Command& command, int value) {
        if (const std::optional<size_t> i = setting_index(command)) {
            values_[*i] = value;
            publish_state(*i);
        }
    });
    connect(&model_, &UnitModel::frame_applied, this, [this] {
        if (!answered_) {
            answered_ = true;
            publish_online();
        }
    });
    connect(&model_, &UnitModel::port_changed, this, &MqttDoor::publish_line);
}

MqttDoor::~MqttDoor()
{
    model_.unfollow_reports();
    client_.stop({mqtt::availability_topic(settings_.device.base), std::string(kOffline), true});
}

void MqttDoor::connected()
{
    const std::string& base = settings_.device.base;
    for (const std::string& filter : mqtt::command_filters(base))
        client_.subscribe(filter);
    if (!settings_.discovery_prefix.empty())
        client_.subscribe(settings_.discovery_prefix + "/status");
    publish_discovery();
    for (size_t i = 0; i < values_.size(); ++i)
        publish_state(i);
    publish_line();
    publish_online();
}

void MqttDoor::received(const QByteArray& topic, const QByteArray& payload, bool retained)
{
    const std::string_view topic_text(topic.constData(), size_t(topic.size()));
    if (!settings_.discovery_prefix.empty() && topic_text == settings_.discovery_prefix + "/status") {
        if (payload == QByteArray(kOnline.data(), qsizetype(kOnline.size())))
            publish_discovery();
        return;
    }
    if (retained) {
        // A command kept by the broker would be carried out again at every
        // reconnection.
        failed(topic.toStdString() + ": a retained command is not carried out");
        return;
    }
    const mqtt::Command command =
        mqtt::read_command(settings_.device.base, topic_text, {payload.constData(), size_t(payload.size())});
    switch (command.kind) {
    case mqtt::Command::Kind::Set: set(command.assignment); break;
    case mqtt::Command::Kind::Preset: load_preset(command.preset); break;
    case mqtt::Command::Kind::Bad: failed(command.error); break;
    }
}

void MqttDoor::set(const control::Assignment& assignment)
{
    model_.set(assignment.setting->command, assignment.value, Door::Broker, [this](const Outcome& outcome) {
        // A later value for the same setting is no failure: it is the one
        // the user wants now. The reason names the setting and its value.
        if (!outcome.ok() && outcome.kind != Outcome::Kind::Replaced)
            failed(outcome.reason.toStdString());
    });
}

void MqttDoor::load_preset(const std::string& name)
{
    const std::string what = "preset " + name;
    if (std::ranges::find(presets_, name) == presets_.end()) {
        failed(what + ": no such preset");
        return;
    }
    QFile file(QDir(settings_.presets_folder).filePath(QString::fromStdString(name)));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPresetBytes) {
        failed(what + ": cannot read " + file.fileName().toStdString());
        return;
    }
    const QByteArray text = file.readAll();
    const control::PresetRead read = control::parse_preset({text.constData(), size_t(text.size())});
    if (!read.errors.empty()) {
        failed(what + ": " + read.errors.front());
        return;
    }
    const control::LoadPlan plan = control::plan_load(read.preset, model_.state());
    if (!plan.error.empty()) {
        failed(what + ": " + plan.error);
        return;
    }
    for (const control::Assignment& step : plan.steps)
        set(step);
}

void MqttDoor::failed(const std::string& what)
{
    emit logged(QStringLiteral("mqtt: ") + QString::fromStdString(what));
    client_.publish({mqtt::error_topic(settings_.device.base), what, false});
}

void MqttDoor::publish_state(size_t setting)
{
    if (const std::optional<int> value = values_[setting])
        client_.publish({mqtt::state_topic(settings_.device.base, control::kSettings[setting]),
                         control::word_of(control::kSettings[setting], *value), true});
}

void MqttDoor::publish_line()
{
    client_.publish({mqtt::line_topic(settings_.device.base), watch_line(line_state(model_), true), true});
}

void MqttDoor::publish_discovery()
{
    if (settings_.discovery_prefix.empty())
        return;
    for (const mqtt::Message& message :
         mqtt::discovery_messages(settings_.discovery_prefix, settings_.device, presets_))
        client_.publish(message);
}

void MqttDoor::publish_online()
{
    if (answered_)
        client_.publish({mqtt::availability_topic(settings_.device.base), std::string(kOnline), true});
}

}  // namespace plenvo
