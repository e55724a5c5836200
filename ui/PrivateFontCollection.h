// The program's private fonts: the embedded "Pacifico" (resource 101) added to the
// application's font database from the compiled-in data.
#pragma once

#include <QString>
#include <QStringList>

namespace rx {

class PrivateFontCollection {
public:
    // Adds the embedded font; returns false when the resource is missing or not a font.
    bool LoadEmbeddedFont();
    bool Contains(const QString& family) const { return m_families.contains(family); }
    const QStringList& Families() const { return m_families; }
    ~PrivateFontCollection();

private:
    int m_id = -1;
    QStringList m_families;
};

} // namespace rx
