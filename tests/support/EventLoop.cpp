#include "EventLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace sonaro::testing {

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

} // namespace sonaro::testing
