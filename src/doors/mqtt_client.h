#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include "doors/mqtt_topics.h"

class QSocketNotifier;
class QTimer;
struct mosquitto;
struct mosquitto_message;

namespace plenvo {

// A connection to an MQTT broker on the program's event loop: the socket is
// watched by the loop, keep-alive runs on a timer, connecting never blocks
// (a broker's name is looked up first, without waiting). Lost or refused,
// the connection is tried again after 1, 2, 4, ... up to 30 s.
class MqttClient final : public QObject {
    Q_OBJECT
public:
    struct Settings {
        mqtt::BrokerAddress broker;
        QString ca_file;  // empty: the system's certificates
        std::string client_id;
        mqtt::Message will;
    };

    explicit MqttClient(Settings settings);
    ~MqttClient() override;

    // Starts connecting; `connected` follows once the broker has taken us.
    void start();
    bool is_connected() const { return state_ == State::Connected; }
    // Queued while connected; dropped otherwise (everything is published
    // again on `connected`).
    void publish(const mqtt::Message& message);
    void subscribe(const std::string& filter);
    // Publishes `last` and leaves the broker at once; nothing is tried again.
    void stop(const mqtt::Message& last);

    // The seconds until the next try after `failures` in a row.
    static int retry_seconds(int failures);

signals:
    void connected();
    // Lost, not reached or refused, and why; tried again after `retry_s`.
    void disconnected(const QString& why, int retry_s);
    // The broker turned us away (credentials, TLS): the user must act.
    void refused(const QString& why);
    void received(const QByteArray& topic, const QByteArray& payload, bool retained);

private:
    enum class State { Idle, Looking, Connecting, Connected, Waiting, Stopped };

    void new_handle();
    void connect_to(const QString& host);
    void failed(int rc);
    void lost(const QString& why);
    void drop_socket();
    void watch_socket();
    void after_io(int rc);
    bool connection_failed();
    void read_ready();
    void write_ready();

    static void on_connect(mosquitto*, void* self, int rc);
    static void on_disconnect(mosquitto*, void* self, int rc);
    static void on_message(mosquitto*, void* self, const mosquitto_message* message);

    Settings settings_;
    mosquitto* mosq_ = nullptr;
    State state_ = State::Idle;
    int failures_ = 0;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> read_;
    std::unique_ptr<QSocketNotifier> write_;
    std::unique_ptr<QTimer> misc_;
    std::unique_ptr<QTimer> retry_;
    int lookup_id_ = -1;
    // libmosquitto's last error line, which names what TLS did not like.
    QString last_error_;
};

}  // namespace plenvo
