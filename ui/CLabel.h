// A text label with its own colour, font and an optional transparent background; the text
// is laid out by the static style (left, centred, right, no word wrap, centred image).
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

namespace rx {

// Static styles that change the layout of the text.
constexpr unsigned SS_LEFT = 0x0;
constexpr unsigned SS_CENTER = 0x1;
constexpr unsigned SS_RIGHT = 0x2;
constexpr unsigned SS_LEFTNOWORDWRAP = 0xC;
constexpr unsigned SS_CENTERIMAGE = 0x200;

class CLabel : public QLabel {
public:
    explicit CLabel(QWidget* parent = nullptr);

    // Takes the current font of the control as the label's own, as when it is attached.
    void Attach();
    void SetStaticStyle(unsigned style) { m_style = style; }

    CLabel& ReplaceText(const QString& text);
    CLabel& UseTextColour(const QColor& colour);
    CLabel& UseTransparentBackground(bool transparent);
    CLabel& UseFontFace(const QString& face, int charset = 0);
    CLabel& UseFontPoints(int points);
    CLabel& UseBold(bool bold);
    CLabel& UseItalic(bool italic);
    CLabel& UseUnderline(bool underline);

    // The text layout flags for the style and the text.
    static int TextFlags(unsigned style, const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CLabel& Changed();

    QColor m_colour;
    bool m_transparent = false;
    QFont m_font;
    unsigned m_style = SS_LEFT;
};

} // namespace rx
