#include "posewright/PosewrightSettings.h"

#include <QSettings>

namespace posewright {

namespace {

const QString kGroup = QString(kAppTitle) + "/Settings";

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
    comPort = readInt(store, "Com Port", 1);
    robotProfile = store.value("Robot Profile", "default.rbt").toString();
    windowX = readInt(store, "Window pos_x", 0);
    windowY = readInt(store, "Window pos_y", 0);
    store.endGroup();
}

void PosewrightSettings::save(QSettings& store) const
{
    store.beginGroup(kGroup);
    store.setValue("Com Port", comPort);
    store.setValue("Robot Profile", robotProfile);
    store.setValue("Window pos_x", windowX);
    store.setValue("Window pos_y", windowY);
    store.endGroup();
    store.sync();
}

} // namespace posewright
