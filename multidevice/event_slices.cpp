#include "multidevice/event_slices.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {
const qint64 kSliceMs = 10;
}

void processEventsFor(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = milliseconds; left > 0; left = milliseconds - clock.elapsed()) {
        QEventLoop slice;
        QTimer::singleShot(std::min(left, kSliceMs), Qt::PreciseTimer, &slice, &QEventLoop::quit);
        slice.exec();
    }
}
