// A horizontal slider drawn in the skin's style. A click beside the thumb jumps the thumb
// to the pointer (and reports TB_THUMBPOSITION), then dragging goes on from there.
#pragma once

#include <QSlider>

namespace rx {

// Scroll codes reported with HScroll.
constexpr int TB_LINEUP = 0;
constexpr int TB_LINEDOWN = 1;
constexpr int TB_PAGEUP = 2;
constexpr int TB_PAGEDOWN = 3;
constexpr int TB_THUMBPOSITION = 4;
constexpr int TB_THUMBTRACK = 5;
constexpr int TB_TOP = 6;
constexpr int TB_BOTTOM = 7;
constexpr int TB_ENDTRACK = 8;

class CRXSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CRXSliderCtrl(QWidget* parent = nullptr);

    // Ticks below the channel (the default trackbar look) or none.
    void SetTicksBelow(bool below);
    QRect ThumbRect() const;
    QRect ChannelRect() const;
    int ThumbLength() const { return kThumbLength; }
    // The x of the tick of a value, in slider coordinates.
    int GetTicPos(int value) const;

Q_SIGNALS:
    // The scroll notification: a TB_* code and the position.
    void HScroll(int code, int position);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    static constexpr int kThumbLength = 11;
    static constexpr int kChannelMargin = 8;
    int ThumbLeftFor(int value) const;
    int ValueAtThumbLeft(int left) const;

    bool m_dragging = false;
    int m_dragOffset = 0;
    bool m_ticksBelow = false;
};

} // namespace rx
