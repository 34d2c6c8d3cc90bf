#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include "lines/line_settings.h"

class QIODevice;

namespace plenvo {

// One kind of line to the unit (a serial port, a network connection),
// behind the panel's serial control.
class Line {
public:
    virtual ~Line() = default;

    // False, with the reason in error_text(), when the line cannot be had.
    // A network line is still connecting when it returns true.
    virtual bool open(const LineSettings& settings) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;

    virtual int bytes_available() = 0;
    virtual QByteArray read_all() = 0;
    virtual void clear_input() = 0;
    virtual int bytes_to_write() = 0;
    virtual void clear_output() = 0;
    // Queues the bytes; false when the line is closed or lost.
    virtual bool write(const QByteArray& bytes) = 0;
    // Waits, without running any event, until the queued output has left or
    // `timeout_ms` has passed; true when nothing is left pending.
    virtual bool drain(int timeout_ms) = 0;

    // The open line went away; stays true until it is opened again.
    virtual bool lost() const = 0;
    // Why the last opening failed or the line was lost, naming the device.
    virtual QString error_text() const = 0;

    // The connection open() started is not made yet. Bytes written
    // meanwhile wait in the line and go out once it is made.
    virtual bool connecting() const { return false; }
    // Told once that connection is made or has failed; a failed one leaves
    // the line lost, with the reason in error_text(). It is called from
    // within the line's own event handling: the line must not be opened,
    // closed or destroyed from it.
    std::function<void()> on_connection_settled;
    // Told when bytes from the far end have come in, from within the line's
    // own event handling, with the same restrictions.
    std::function<void()> on_bytes_arrived;
};

// Waits at most `timeout_ms`, without running any event, for the output
// queued on `device` to leave; true when nothing is left pending. The queue
// only shrinks inside the event loop or such a blocking wait.
bool drain_output(QIODevice& device, int timeout_ms);

}  // namespace plenvo
