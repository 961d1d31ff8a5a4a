#include "multidevice/event_slices.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {
const qint64 kSliceMs = 10;
}

bool processEventsFor(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = milliseconds; left > 0; left = milliseconds - clock.elapsed()) {
        QEventLoop slice;
        QTimer::singleShot(std::min(left, kSliceMs), Qt::PreciseTimer, &slice, &QEventLoop::quit);
        // After the application's exit() no event loop runs: exec() returns
        // -1 at once (or the code given to exit() for a slice under way).
        if (slice.exec() != 0)
            return false;
    }
    return true;
}
