#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace plenvo {

// The serial line to the unit, with the operations the panel relies on.
// Output is queued and returns at once; input is read in bulk, when polled
// or when told that it has come.
class SerialControl {
public:
    virtual ~SerialControl() = default;

    virtual bool port_open() const = 0;
    // Opening fails (returns false) when the port is absent, busy or refused.
    virtual bool set_port_open(bool open) = 0;
    // Selects the port of the next opening (1 = COM1, 2 = COM2, ...).
    virtual void set_comm_port(int port) = 0;
    // Line parameters of the next opening, as "9600,N,8,1"; false if malformed.
    virtual bool set_settings(const QString& settings) = 0;

    // Received bytes not yet read.
    virtual int in_buffer_count() = 0;
    virtual void clear_in_buffer() = 0;
    // Bytes queued but not yet on the line.
    virtual int out_buffer_count() = 0;
    virtual void clear_out_buffer() = 0;
    // 1: input comes as a byte array; length 0: all buffered bytes at once.
    // Those are the only modes the panel uses.
    virtual void set_input_mode(int mode) = 0;
    virtual void set_input_len(int len) = 0;

    // Returns and removes every received byte.
    virtual QByteArray input() = 0;
    // Queues the bytes; false when the port is closed or its device is gone.
    virtual bool output(const QByteArray& bytes) = 0;
    // Waits, without running any event, until the queued output is on the
    // line or `timeout_ms` has passed; true when nothing is left pending.
    virtual bool drain_output(int timeout_ms) = 0;

    // The open device went away (adapter unplugged, far end closed). Stays
    // true until the next opening.
    virtual bool device_lost() const = 0;
    // Why the last opening failed or the device was lost, naming the device
    // and the system's reason, e.g. "/dev/ttyUSB0: no such device".
    virtual QString error_text() const = 0;
    // The selected port's device is served over the network: a lost one is
    // tried again less often than a local device.
    virtual bool network_line() const { return false; }

    // A port served over the network opens at once and connects afterwards:
    // until the connection is made or has failed it is connecting, and
    // bytes output meanwhile wait for it. A failed connection shows as a
    // lost device, with the reason in error_text().
    virtual bool connecting() const { return false; }
    // Told once such a connection is made or has failed. It is called from
    // within the line's own event handling: the port must not be opened or
    // closed from it.
    std::function<void()> on_connection_settled;
    // Told when received bytes have come in, from within the line's own
    // event handling: nothing may be opened, closed or read from it.
    std::function<void()> on_bytes_arrived;
};

}  // namespace plenvo
