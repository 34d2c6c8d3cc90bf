#include "doors/mqtt_client.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <sys/socket.h>

namespace plenvo {

namespace {

constexpr int kKeepAliveS = 30;
constexpr int kMiscMs = 1000;
constexpr int kLongestRetryS = 30;
// Read at most this many messages in one go, then let the loop run.
constexpr int kPacketsPerRead = 64;

QString error_text(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

}  // namespace

MqttClient::MqttClient(Settings settings)
    : settings_(std::move(settings)), misc_(std::make_unique<QTimer>()), retry_(std::make_unique<QTimer>())
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    misc_->setInterval(kMiscMs);
    connect(misc_.get(), &QTimer::timeout, this, [this] { after_io(mosquitto_loop_misc(mosq_)); });
    retry_->setSingleShot(true);
    connect(retry_.get(), &QTimer::timeout, this, &MqttClient::start);
}

// Every try starts on a handle of its own: libmosquitto keeps what a try
// left behind, and a handle whose TLS used the system's certificates once
// turns every later connect away as an invalid argument.
void MqttClient::new_handle()
{
    drop_socket();
    if (mosq_)
        mosquitto_destroy(mosq_);
    mosq_ = mosquitto_new(settings_.client_id.c_str(), true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, on_connect);
    mosquitto_disconnect_callback_set(mosq_, on_disconnect);
    mosquitto_message_callback_set(mosq_, on_message);
    mosquitto_log_callback_set(mosq_, [](mosquitto*, void* self, int level, const char* text) {
        if (level == MOSQ_LOG_ERR)
            static_cast<MqttClient*>(self)->last_error_ = QString::fromUtf8(text);
    });
    const mqtt::BrokerAddress& broker = settings_.broker;
    if (!broker.user.empty())
        mosquitto_username_pw_set(mosq_, broker.user.c_str(), broker.password ? broker.password->c_str() : nullptr);
    if (broker.tls) {
        if (settings_.ca_file.isEmpty())
            mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            mosquitto_tls_set(mosq_, settings_.ca_file.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    }
    const mqtt::Message& will = settings_.will;
    if (!will.topic.empty())
        mosquitto_will_set(mosq_, will.topic.c_str(), int(will.payload.size()), will.payload.data(), 1, will.retain);
}

MqttClient::~MqttClient()
{
    if (lookup_id_ >= 0)
        QHostInfo::abortHostLookup(lookup_id_);
    read_.reset();
    write_.reset();
    if (mosq_)
        mosquitto_destroy(mosq_);
}

int MqttClient::retry_seconds(int failures)
{
    return failures <= 0 ? 1 : std::min(kLongestRetryS, 1 << std::min(failures - 1, 5));
}

void MqttClient::start()
{
    if (state_ == State::Stopped)
        return;
    // An address needs no lookup; TLS checks the certificate against the
    // name, so it connects by name once the name is known to resolve.
    const QString host = QString::fromStdString(settings_.broker.host);
    if (!QHostAddress(host).isNull()) {
        connect_to(host);
        return;
    }
    state_ = State::Looking;
    lookup_id_ = QHostInfo::lookupHost(host, this, [this, host](const QHostInfo& info) {
        lookup_id_ = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
            lost(host + QStringLiteral(": ") + info.errorString());
        else
            connect_to(settings_.broker.tls ? host : info.addresses().constFirst().toString());
    });
}

void MqttClient::connect_to(const QString& host)
{
    state_ = State::Connecting;
    last_error_.clear();
    new_handle();
    const int rc = mosquitto_connect_async(mosq_, host.toUtf8().constData(), settings_.broker.port, kKeepAliveS);
    // On loopback the handshake may begin, and fail, within the connect.
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_CONN_PENDING) {
        failed(rc);
        return;
    }
    misc_->start();
    watch_socket();
}

// A TLS handshake that fails shows as a TLS error or as the connection
// lost, depending on which side gives up first; libmosquitto's error line
// names the reason either way.
void MqttClient::failed(int rc)
{
    if (state_ == State::Connecting && settings_.broker.tls && (rc == MOSQ_ERR_TLS || !last_error_.isEmpty())) {
        const QString why = QStringLiteral("TLS failed: ") + last_error_;
        emit refused(why);
        lost(why);
        return;
    }
    lost(error_text(rc));
}

void MqttClient::lost(const QString& why)
{
    if (state_ == State::Stopped || state_ == State::Waiting)
        return;
    state_ = State::Waiting;
    drop_socket();
    misc_->stop();
    const int wait_s = retry_seconds(++failures_);
    retry_->start(wait_s * 1000);
    emit disconnected(why, wait_s);
}

// The notifiers may be the ones whose signal runs now: they go once it has.
void MqttClient::drop_socket()
{
    for (std::unique_ptr<QSocketNotifier>* notifier : {&read_, &write_})
        if (*notifier) {
            (*notifier)->setEnabled(false);
            notifier->release()->deleteLater();
        }
    fd_ = -1;
}

void MqttClient::watch_socket()
{
    const int fd = mosquitto_socket(mosq_);
    if (fd != fd_) {
        drop_socket();
        fd_ = fd;
        if (fd < 0)
            return;
        read_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(read_.get(), &QSocketNotifier::activated, this, &MqttClient::read_ready);
        write_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        connect(write_.get(), &QSocketNotifier::activated, this, &MqttClient::write_ready);
    }
    if (write_)
        write_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::after_io(int rc)
{
    if (state_ == State::Stopped || state_ == State::Waiting)
        return;
    if (rc != MOSQ_ERR_SUCCESS) {
        failed(rc);
        return;
    }
    watch_socket();
}

// Over TLS, libmosquitto takes a connection that never came about for a
// handshake still under way, and the loop would wake for its socket without
// end until the keep-alive gives up. While connecting, a socket error or a
// socket left without a peer ends the try.
bool MqttClient::connection_failed()
{
    if (state_ != State::Connecting || !settings_.broker.tls || fd_ < 0)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &length) == 0 || errno != ENOTCONN)
            return false;
    }
    // The handshake's first write has usually taken the socket's error.
    lost(error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("could not connect"));
    return true;
}

void MqttClient::read_ready()
{
    if (!connection_failed())
        after_io(mosquitto_loop_read(mosq_, kPacketsPerRead));
}

void MqttClient::write_ready()
{
    if (!connection_failed())
        after_io(mosquitto_loop_write(mosq_, kPacketsPerRead));
}

void MqttClient::publish(const mqtt::Message& message)
{
    if (state_ != State::Connected)
        return;
    after_io(mosquitto_publish(mosq_, nullptr, message.topic.c_str(), int(message.payload.size()),
                               message.payload.data(), 0, message.retain));
}

void MqttClient::subscribe(const std::string& filter)
{
    if (state_ == State::Connected)
        after_io(mosquitto_subscribe(mosq_, nullptr, filter.c_str(), 0));
}

void MqttClient::stop(const mqtt::Message& last)
{
    const bool was_connected = state_ == State::Connected;
    // Leaving calls back, which must not count as a loss.
    state_ = State::Stopped;
    if (was_connected) {
        mosquitto_publish(mosq_, nullptr, last.topic.c_str(), int(last.payload.size()), last.payload.data(), 1,
                          last.retain);
        mosquitto_disconnect(mosq_);
        // What the disconnect left unwritten goes now, on a socket that does
        // not block.
        mosquitto_loop_write(mosq_, kPacketsPerRead);
    }
    drop_socket();
    misc_->stop();
    retry_->stop();
}

void MqttClient::on_connect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc != 0) {
        const QString why = QString::fromUtf8(mosquitto_connack_string(rc));
        emit client->refused(why);
        client->lost(why);
        return;
    }
    client->state_ = State::Connected;
    client->failures_ = 0;
    emit client->connected();
}

void MqttClient::on_disconnect(mosquitto*, void* self, int rc)
{
    auto* client = static_cast<MqttClient*>(self);
    if (rc == 0)
        client->lost(QStringLiteral("disconnected"));
    else
        client->failed(rc);
}

void MqttClient::on_message(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* client = static_cast<MqttClient*>(self);
    emit client->received(QByteArray(message->topic),
                          QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
                          message->retain);
}

}  // namespace plenvo
