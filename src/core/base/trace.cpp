#include "base/trace.h"

#include <QElapsedTimer>

#include <cstdio>

namespace plenvo::trace {

namespace {

bool on = false;

QElapsedTimer& since_start()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock;
}

QChar printable(unsigned char byte)
{
    return byte >= 0x20 && byte < 0x7f ? QChar(byte) : QChar('?');
}

}  // namespace

void enable()
{
    on = true;
    since_start();
}

bool enabled()
{
    return on;
}

void line(const QString& what, const QString& detail)
{
    if (!on)
        return;
    const QByteArray text = QStringLiteral("%1 %2 %3\n").arg(since_start().elapsed()).arg(what, detail).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

QString letters(unsigned char first, unsigned char second)
{
    return QString(printable(first)) + printable(second);
}

}  // namespace plenvo::trace
