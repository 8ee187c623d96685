#include "taskloom_base/TaskloomSettings.h"

#include "platform/InstallPaths.h"

#include <QSettings>

#include <algorithm>

namespace programmer {

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
    store.beginGroup("Settings");
    comPort = store.value("Com Port", 1).toInt();
    robotProfile = store.value("Robot Profile", "default.rbt").toString();
    WindowGeometry g;
    g.width = store.value("Window width", screenWidth).toInt();
    g.height = store.value("Window height", screenHeight).toInt();
    g.x = store.value("Window pos_x", 0).toInt();
    g.y = store.value("Window pos_y", 0).toInt();
    window = clampWindowGeometry(g, screenWidth, screenHeight);
    checkFirmware = store.value("Check Firmware", true).toBool();
    store.endGroup();
    store.beginGroup("Path");
    documentPath = store.value("Document").toString();
    motionDocPath = store.value("MotionDoc").toString();
    firmwarePath = store.value("Firmware").toString();
    store.endGroup();
    store.beginGroup("View");
    zoom = std::clamp(store.value("Zoom", 100).toInt(), MinZoom, MaxZoom);
    store.endGroup();
    store.beginGroup("Recent File List");
    recentFiles.clear();
    for (int i = 1; i <= RecentFileCount; ++i)
        if (QString f = store.value(QString("File%1").arg(i)).toString(); !f.isEmpty())
            recentFiles.append(f);
    store.endGroup();
    store.endGroup();
}

void TaskloomSettings::save(QSettings& store) const
{
    store.beginGroup(ApplicationTitle);
    store.beginGroup("Settings");
    store.setValue("Com Port", comPort);
    store.setValue("Robot Profile", robotProfile);
    store.setValue("Window width", window.width);
    store.setValue("Window height", window.height);
    store.setValue("Window pos_x", window.x);
    store.setValue("Window pos_y", window.y);
    store.setValue("Check Firmware", checkFirmware);
    store.endGroup();
    store.beginGroup("Path");
    store.setValue("Document", documentPath);
    store.setValue("MotionDoc", motionDocPath);
    store.setValue("Firmware", firmwarePath);
    store.endGroup();
    store.beginGroup("View");
    store.setValue("Zoom", zoom);
    store.endGroup();
    store.beginGroup("Recent File List");
    for (int i = 1; i <= RecentFileCount; ++i)
        store.setValue(QString("File%1").arg(i), recentFiles.value(i - 1));
    store.endGroup();
    store.endGroup();
    store.sync();
}

} // namespace programmer
