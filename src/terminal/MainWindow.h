#pragma once
// Wirescope's main window: the menus, the two-part status bar, the terminal view and the find
// bar. What the terminal does with the port, the files and the keys is the TerminalSession's;
// the window shows its state and hands it what the user does.

#include "termcore/TerminalScreen.h"
#include "termsession/Prompter.h"
#include "termsession/TerminalSession.h"

#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QTimer;

namespace terminal {

class FindBar;
class RecentMenu;
class SendMenu;
class TerminalStatusBar;
class TerminalView;

struct PortChoice {
    std::string port;
    int baudRate = 0;
};

struct WindowOptions {
    std::string configPath; // empty: TerminalConfig::defaultPath()
    std::string port;       // non-empty: connect to this port at start instead of the saved one
    int baudRate = 0;       // non-zero: with this rate
    bool connectAtStart = true;
};

class MainWindow : public QMainWindow, private TerminalSession::Host {
    Q_OBJECT
  public:
    // The screen the controller paints is 80 x 36; the scroll-back keeps 1200 rows of it.
    static constexpr int kVisibleColumns = 80;
    static constexpr int kVisibleRows = 36;
    static constexpr int kColumns = 80;
    static constexpr int kRows = 1200;

    MainWindow(Prompter& prompter, const WindowOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // False when the screen could not be made (the message has been shown).
    bool initialised() const { return initialised_; }
    TerminalSession& session() { return session_; }

    // What the "Serial setup" dialog would answer; tests replace it.
    using SetupChooser = std::function<std::optional<PortChoice>(const std::vector<std::string>& ports,
                                                                 const std::string& saved, int savedRate)>;
    void setSetupChooser(SetupChooser chooser) { chooser_ = std::move(chooser); }

    // Menu commands that need the window (dialogs, clipboard, the view).
    void connectPort();
    void disconnectPort() { session_.disconnect(); }
    void modifyColor();
    void toggleBytesum();
    void clearScreen();
    void paste();
    void copySelection();
    void setTimestamps(bool on) { session_.setTimestamps(on); }
    void setHexView(bool on) { session_.setHexView(on); }
    void startLog(const std::string& path) { session_.startLog(path); }
    void setScrollLock(bool on);
    bool scrollLock() const;

    // Find (context menu and the "&Edit" menu). The bar's field takes the keys only when it is
    // opened to take them or clicked; a click on the terminal gives them back.
    FindBar* findBar() const { return findBar_; }

    QString statusText(int part) const;
    QString deviceText() const;
    TerminalView* view() const { return view_; }
    QAction* action(const QString& name) const;
    QMenu* recentMenu() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // TerminalSession::Host
    void post(std::function<void()> fn) override;
    void display(const uint8_t* bytes, size_t count) override;
    bool atLineStart() const override;
    void changed() override;

    void buildMenus();
    void changeFontSize(int step);
    void refresh();
    void applyColours(termcore::Rgb background, termcore::Rgb text);
    void schedulePaste();
    void showContextMenu(const QPoint& at);

    Prompter& prompter_;
    TerminalSession session_;
    termcore::TerminalScreen screen_;
    TerminalView* view_ = nullptr;
    bool initialised_ = false;
    bool closing_ = false;
    SetupChooser chooser_;

    TerminalStatusBar* status_ = nullptr;
    FindBar* findBar_ = nullptr;
    QTimer* pasteTimer_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    RecentMenu* recentMenu_ = nullptr;
    SendMenu* sendMenu_ = nullptr;
    QAction* connect_ = nullptr;
    QAction* disconnect_ = nullptr;
    QAction* bytesumAction_ = nullptr;
    QAction* transmitAction_ = nullptr;
    QAction* receiveAction_ = nullptr;
    QAction* logAction_ = nullptr;
    QAction* logSentAction_ = nullptr;
    QAction* logTimestampsAction_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* paste_ = nullptr;
    QAction* find_ = nullptr;
    QAction* timestamps_ = nullptr;
    QAction* hexView_ = nullptr;
    QAction* scrollLock_ = nullptr;
};

} // namespace terminal
