#include "app/PreviewTimer.h"

#include <QTimerEvent>

namespace rx {

void QtPreviewTimer::Start(int id, int periodMs, TickHandler onTick) {
    id_ = id;
    onTick_ = std::move(onTick);
    timer_.start(periodMs, this);
}

void QtPreviewTimer::timerEvent(QTimerEvent* e) {
    if (e->timerId() != timer_.timerId()) {
        QObject::timerEvent(e);
        return;
    }
    if (onTick_)
        onTick_(id_);
}

} // namespace rx
