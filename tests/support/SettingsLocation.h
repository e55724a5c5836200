// Points the settings store at a temporary folder for the life of a test, never at the user's
// real configuration.
#pragma once

#include <QSettings>
#include <QString>

#include "tests/support/TestImages.h"

namespace rxtest {

class SettingsLocation {
public:
    SettingsLocation() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir_.path().string()));
    }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
};

} // namespace rxtest
