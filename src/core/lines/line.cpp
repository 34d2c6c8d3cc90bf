#include "lines/line.h"

#include <QElapsedTimer>
#include <QIODevice>

namespace plenvo {

bool drain_output(QIODevice& device, int timeout_ms)
{
    QElapsedTimer clock;
    clock.start();
    while (device.isOpen() && device.bytesToWrite() > 0) {
        const qint64 left = timeout_ms - clock.elapsed();
        if (left <= 0 || !device.waitForBytesWritten(int(left)))
            break;
    }
    return device.bytesToWrite() == 0;
}

}  // namespace plenvo
