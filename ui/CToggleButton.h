// The sliding switch: a knob over a track, off on the left, on on the right. The knob
// slides 2 px every 20 ms (timer id 1) and the switch notifies once when it comes to rest.
#pragma once

#include "ui/MouseMixin.h"
#include "ui/OwnerDrawButton.h"

#include <QBasicTimer>
#include <QImage>

namespace rx {

class CToggleButton : public MouseMixin<OwnerDrawButton> {
public:
    static constexpr int kAnimationTimerId = 1;
    static constexpr int kAnimationMs = 20;
    static constexpr int kStep = 2;

    CToggleButton();

    // Creates the switch; throws std::runtime_error when an image is missing.
    void CreateSwitch(const QRect& rect, QWidget* parent, int id);
    // Puts the knob at the end of the state and animates; the first tick notifies.
    void LoadState(bool on);

    bool State() const { return m_state; }
    int KnobX() const { return m_knobX; }
    int KnobWidth() const { return m_knob.width(); }
    bool IsAnimating() const { return m_timer.isActive(); }
    // The Qt id of the knob animation timer, for tests that drive it with timer events.
    int AnimationTimer() const { return m_timer.timerId(); }

protected:
    bool PressAt(int x, int y) override;
    void DragTo(int x, int y) override;
    void ReleaseAt(int x, int y) override;
    void Paint(QPainter& g, const DrawItem& item) override;
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void StartAnimation();
    void Tick();

    bool m_state = false;
    int m_knobX = 0;
    int m_dragOffset = 0;
    QImage m_track;
    QImage m_knob;
    QBasicTimer m_timer;
};

} // namespace rx
