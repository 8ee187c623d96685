#pragma once
// Taskloom's persistent settings: read once at start-up, held while the program runs (the
// controller dialogs read and change them here), written back at exit. They live in the per-user
// store of organisation "Quorvel", application "Tessaban", below the group named after the
// application title, in the sections "Settings" and "Path".

#include <QString>
#include <QStringList>

class QSettings;

namespace programmer {

inline constexpr const char* SettingsOrganisation = "Quorvel";
inline constexpr const char* SettingsApplication = "Tessaban";
inline constexpr const char* ApplicationTitle = "Taskloom (Tessaban)";

struct WindowGeometry {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    bool operator==(const WindowGeometry&) const = default;
};

// Pulls a stored main-window geometry back onto a screen of the given size: with W = screen
// width - 100 and H = screen height - 100, width is at least 500 and at most W, height at least
// 300 and at most H, the position inside 0..W and 0..H. The lower bound wins on a screen too small
// for both (a 599-pixel-wide screen still gets a 500-pixel window).
WindowGeometry clampWindowGeometry(WindowGeometry stored, int screenWidth, int screenHeight);

class TaskloomSettings {
  public:
    // The default per-user store (<config home>/Quorvel/Tessaban.conf, as Posewright's).
    static QSettings* openDefaultStore();

    // Reads every value (missing ones take their defaults; the window defaults are the screen
    // size at (0, 0)) and clamps the window geometry to the screen.
    void load(QSettings& store, int screenWidth, int screenHeight);
    // Writes "Com Port", "Robot Profile", "Window width", "Window height", "Window pos_x",
    // "Window pos_y", "Check Firmware", "Document", "MotionDoc" and "Firmware", in that order.
    void save(QSettings& store) const;

    int comPort = 1;                      // "Settings/Com Port": the port COM<n>
    QString robotProfile = "default.rbt"; // "Settings/Robot Profile": a file name, no folder
    WindowGeometry window;                // "Settings/Window ..."
    bool checkFirmware = true;            // "Settings/Check Firmware": read new firmware back
    QString documentPath;                 // "Path/Document": last program chosen with File/Open
    QString motionDocPath;                // "Path/MotionDoc": last ".mtn" file
    QString firmwarePath;                 // "Path/Firmware": last firmware ".hex" file
    QStringList recentFiles;              // "Recent File List/File1..4", newest first
    int zoom = 100;                       // "View/Zoom": the grids' scale in percent
};

inline constexpr int RecentFileCount = 4;
inline constexpr int MinZoom = 50, MaxZoom = 200, ZoomStep = 10;
// Puts a path first in the recent-file list (once), keeping at most RecentFileCount entries.
QStringList withRecent(QStringList list, const QString& path);

} // namespace programmer
