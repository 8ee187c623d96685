#include "posewright/PosewrightSettings.h"

#include <QSettings>

namespace posewright {

namespace {

namespace keys = platform::settings;

const QString kGroup = QString::fromStdString(keys::path(keys::PosewrightGroup, keys::SettingsSection));

int readInt(QSettings& s, const char* key, int fallback)
{
    bool ok = false;
    const int v = s.value(key, fallback).toInt(&ok);
    return ok ? v : fallback;
}

} // namespace

void PosewrightSettings::load(QSettings& store)
{
    store.beginGroup(kGroup);
    comPort = readInt(store, keys::ComPortKey, 1);
    robotProfile = store.value(keys::RobotProfileKey, "default.rbt").toString();
    windowX = readInt(store, keys::WindowXKey, 0);
    windowY = readInt(store, keys::WindowYKey, 0);
    store.endGroup();
}

void PosewrightSettings::save(QSettings& store) const
{
    store.beginGroup(kGroup);
    store.setValue(keys::ComPortKey, comPort);
    store.setValue(keys::RobotProfileKey, robotProfile);
    store.setValue(keys::WindowXKey, windowX);
    store.setValue(keys::WindowYKey, windowY);
    store.endGroup();
    store.sync();
}

} // namespace posewright
