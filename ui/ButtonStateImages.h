// The three images of a skinned button: up (U, required), down (D) and disabled (X),
// named base + letter, and the rule that picks one for a state.
#pragma once

#include <QImage>
#include <QString>

namespace rx {

// State bits of an owner-drawn item.
constexpr unsigned ODS_SELECTED = 0x1;
constexpr unsigned ODS_DISABLED = 0x4;
constexpr unsigned ODS_CHECKED = 0x8;
constexpr unsigned ODS_FOCUS = 0x10;

class ButtonStateImages {
public:
    // Loads base + "D", base + "X", then base + "U"; returns whether the up image loaded.
    bool Load(const QString& baseName);

    // X when disabled, else D when selected or checked, else U; a missing D or X gives U.
    const QImage& ImageFor(unsigned state) const;

    const QImage& Up() const { return m_up; }
    const QImage& Down() const { return m_down; }
    const QImage& Disabled() const { return m_disabled; }

private:
    QImage m_up;
    QImage m_down;
    QImage m_disabled;
};

} // namespace rx
