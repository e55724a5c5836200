// The colour swatch button: filled with the selected colour (or the automatic one); a click
// opens a pop-up palette with an optional "Other" button. A chosen colour is reported with
// Command(id).
#pragma once

#include "ui/CommandButton.h"

#include <QColor>
#include <QFrame>
#include <QVector>

namespace rx {

class CColorButton : public CommandButton {
public:
    CColorButton();

    void SetColor(const QColor& colour);
    // The selected colour, or the automatic colour when none is selected.
    QColor GetColor() const { return m_colour.isValid() ? m_colour : m_automatic; }
    void SetAutomaticColor(const QColor& colour) { m_automatic = colour; }
    // Shows an "Other" button with this caption in the pop-up (empty hides it).
    void EnableOtherButton(const QString& caption) { m_otherCaption = caption; }
    void SetColumnsNumber(int columns) { m_columns = qMax(1, columns); }
    int ColumnsNumber() const { return m_columns; }

    static const QVector<QColor>& Palette();

    // Opens the pop-up (a click does this).
    void ShowPopup();
    QFrame* Popup() const { return m_popup; }
    // What the pop-up does when a swatch or "Other" is chosen.
    void ChooseColor(const QColor& colour);
    void ChooseOther();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_colour;
    QColor m_automatic = Qt::black;
    QString m_otherCaption;
    int m_columns = 8;
    QFrame* m_popup = nullptr;
};

} // namespace rx
