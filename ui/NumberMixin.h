// NumberMixin<T> for a line edit or an editable combo box: when the field loses the focus
// with a text whose leading digits give 0 (or no digits at all), it shows the fallback value.
// An owner that takes the fallback from the text itself sets it in the focus-lost hook, which
// runs before that rule looks at the text.
#pragma once

#include "ui/FocusMixin.h"

#include <QComboBox>
#include <QLineEdit>
#include <functional>
#include <type_traits>

namespace rx {

// The value of the leading decimal digits of the text; 0 when it starts with none.
int LeadingDecimal(const QString& text);

template <class T> class NumberMixin : public FocusMixin<T> {
public:
    using FocusMixin<T>::FocusMixin;

    void SetFallback(int value) { m_fallback = value; }
    int Fallback() const { return m_fallback; }
    // Runs first on every loss of focus, before the fallback rule.
    void SetFocusLostHook(std::function<void()> hook) { m_focusLostHook = std::move(hook); }

    QString Text() const {
        if constexpr (std::is_base_of_v<QComboBox, T>)
            return this->currentText();
        else
            return this->text();
    }

protected:
    void FocusLost(QFocusEvent* e) override {
        if (m_focusLostHook)
            m_focusLostHook();
        if (LeadingDecimal(Text()) == 0) {
            if constexpr (std::is_base_of_v<QComboBox, T>)
                this->setEditText(QString::number(m_fallback));
            else
                this->setText(QString::number(m_fallback));
        }
        FocusMixin<T>::FocusLost(e);
    }

private:
    int m_fallback = 0;
    std::function<void()> m_focusLostHook;
};

} // namespace rx
