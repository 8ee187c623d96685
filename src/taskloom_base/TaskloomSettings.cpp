#include "taskloom_base/TaskloomSettings.h"

#include "platform/InstallPaths.h"

#include <QSettings>

#include <algorithm>

namespace programmer {

namespace keys = platform::settings;

namespace {

// The lower bound wins when the screen is smaller than it; otherwise the value is capped.
int clampAxis(int value, int lowest, int highest)
{
    if (std::min(value, highest) < lowest)
        return lowest;
    return value >= highest ? highest : value;
}

} // namespace

WindowGeometry clampWindowGeometry(WindowGeometry g, int screenWidth, int screenHeight)
{
    const int w = screenWidth - 100, h = screenHeight - 100;
    return {clampAxis(g.width, 500, w), clampAxis(g.height, 300, h), clampAxis(g.x, 0, w),
            clampAxis(g.y, 0, h)};
}

QStringList withRecent(QStringList list, const QString& path)
{
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > RecentFileCount)
        list.removeLast();
    return list;
}

QSettings* TaskloomSettings::openDefaultStore()
{
    return new QSettings(QString::fromStdString(platform::settingsFile()), QSettings::IniFormat);
}

void TaskloomSettings::load(QSettings& store, int screenWidth, int screenHeight)
{
    store.beginGroup(ApplicationTitle);
    store.beginGroup(keys::SettingsSection);
    comPort = store.value(keys::ComPortKey, 1).toInt();
    robotProfile = store.value(keys::RobotProfileKey, text(Str::DefaultProfile)).toString();
    WindowGeometry g;
    g.width = store.value(keys::WindowWidthKey, screenWidth).toInt();
    g.height = store.value(keys::WindowHeightKey, screenHeight).toInt();
    g.x = store.value(keys::WindowXKey, 0).toInt();
    g.y = store.value(keys::WindowYKey, 0).toInt();
    window = clampWindowGeometry(g, screenWidth, screenHeight);
    checkFirmware = store.value(keys::CheckFirmwareKey, true).toBool();
    store.endGroup();
    store.beginGroup(keys::PathSection);
    documentPath = store.value(keys::DocumentKey).toString();
    motionDocPath = store.value(keys::MotionDocKey).toString();
    firmwarePath = store.value(keys::FirmwareKey).toString();
    store.endGroup();
    store.beginGroup(keys::ViewSection);
    zoom = std::clamp(store.value(keys::ZoomKey, 100).toInt(), MinZoom, MaxZoom);
    store.endGroup();
    store.beginGroup(keys::RecentFileSection);
    recentFiles.clear();
    for (int i = 1; i <= RecentFileCount; ++i)
        if (QString f = store.value(keys::RecentFileKeyPrefix + QString::number(i)).toString(); !f.isEmpty())
            recentFiles.append(f);
    store.endGroup();
    store.endGroup();
}

void TaskloomSettings::save(QSettings& store) const
{
    store.beginGroup(ApplicationTitle);
    store.beginGroup(keys::SettingsSection);
    store.setValue(keys::ComPortKey, comPort);
    store.setValue(keys::RobotProfileKey, robotProfile);
    store.setValue(keys::WindowWidthKey, window.width);
    store.setValue(keys::WindowHeightKey, window.height);
    store.setValue(keys::WindowXKey, window.x);
    store.setValue(keys::WindowYKey, window.y);
    store.setValue(keys::CheckFirmwareKey, checkFirmware);
    store.endGroup();
    store.beginGroup(keys::PathSection);
    store.setValue(keys::DocumentKey, documentPath);
    store.setValue(keys::MotionDocKey, motionDocPath);
    store.setValue(keys::FirmwareKey, firmwarePath);
    store.endGroup();
    store.beginGroup(keys::ViewSection);
    store.setValue(keys::ZoomKey, zoom);
    store.endGroup();
    store.beginGroup(keys::RecentFileSection);
    for (int i = 1; i <= RecentFileCount; ++i)
        store.setValue(keys::RecentFileKeyPrefix + QString::number(i), recentFiles.value(i - 1));
    store.endGroup();
    store.endGroup();
    store.sync();
}

} // namespace programmer
