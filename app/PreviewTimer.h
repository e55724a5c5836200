// The preview window's spinner timer: started when a render is asked for, stopped when its
// result arrives, and reporting its id every period in between. The window uses a Qt timer;
// tests put in one that a clock of their own drives.
#pragma once

#include <QBasicTimer>
#include <QObject>

#include <functional>

namespace rx {

class PreviewTimer {
public:
    // Called with the timer's id at the end of every period.
    using TickHandler = std::function<void(int id)>;

    virtual ~PreviewTimer() = default;
    // Starts the timer, or starts it anew (a full period from now) when it runs.
    virtual void Start(int id, int periodMs, TickHandler onTick) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

// A timer of the window's thread's event loop.
class QtPreviewTimer : public QObject, public PreviewTimer {
public:
    void Start(int id, int periodMs, TickHandler onTick) override;
    void Stop() override { timer_.stop(); }
    bool IsActive() const override { return timer_.isActive(); }

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    QBasicTimer timer_;
    int id_ = 0;
    TickHandler onTick_;
};

} // namespace rx
