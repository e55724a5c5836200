#include "ui/ButtonStateImages.h"

#include "ui/SkinResources.h"

namespace rx {

bool ButtonStateImages::Load(const QString& baseName) {
    // A set loaded again must not keep images of the previous base name.
    m_down = QImage();
    m_disabled = QImage();
    m_up = QImage();
    LoadPngResource(baseName + QLatin1Char('D'), m_down);
    LoadPngResource(baseName + QLatin1Char('X'), m_disabled);
    return LoadPngResource(baseName + QLatin1Char('U'), m_up);
}

const QImage& ButtonStateImages::ImageFor(unsigned state) const {
    if (state & ODS_DISABLED)
        return m_disabled.isNull() ? m_up : m_disabled;
    if (state & (ODS_SELECTED | ODS_CHECKED))
        return m_down.isNull() ? m_up : m_down;
    return m_up;
}

} // namespace rx
