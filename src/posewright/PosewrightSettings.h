#pragma once
// The editor's per-user settings: group "Posewright(Tessaban)/Settings" of the suite's store
// (QSettings "Quorvel", "Tessaban"); read at start-up, written at exit.

#include "platform/SettingsKeys.h"

#include <QString>

class QSettings;

namespace posewright {

constexpr const char* kAppTitle = platform::settings::PosewrightGroup;

struct PosewrightSettings {
    int comPort = 1;
    QString robotProfile = "default.rbt";
    int windowX = 0;
    int windowY = 0;

    void load(QSettings& store);
    void save(QSettings& store) const;
};

} // namespace posewright
