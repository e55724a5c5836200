#include "ui/PrivateFontCollection.h"

#include "resources/SkinTable.h"
#include "ui/SkinResources.h"

#include <QFile>
#include <QFontDatabase>

namespace rx {

bool PrivateFontCollection::LoadEmbeddedFont() {
    InitSkinResources();
    QFile file(QString::fromLatin1(skin::kFontPath.data(), qsizetype(skin::kFontPath.size())));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (m_id >= 0)
        QFontDatabase::removeApplicationFont(m_id);
    m_id = QFontDatabase::addApplicationFontFromData(file.readAll());
    m_families = m_id >= 0 ? QFontDatabase::applicationFontFamilies(m_id) : QStringList();
    return m_id >= 0 && !m_families.isEmpty();
}

PrivateFontCollection::~PrivateFontCollection() {
    if (m_id >= 0)
        QFontDatabase::removeApplicationFont(m_id);
}

} // namespace rx
