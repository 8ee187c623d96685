#include "posewright/ShellDialogs.h"

#include "platform/PortMap.h"
#include "platform/SerialDevice.h"
#include "posewright/PosewrightSettings.h"
#include "posewright_texts/PosewrightTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

// The picture lives in this static library's resources, which a program linking the library
// must register itself.
static void registerResources()
{
    Q_INIT_RESOURCE(posewright);
}

namespace posewright {

bool ensureRobotProfile(PosewrightSettings& settings, const QString& robotFolder, Prompter& prompter)
{
    if (QFileInfo(robotFolder + "/" + settings.robotProfile).isFile())
        return true;
    prompter.inform(posewright::text(Txt::NoRobotFile));
    const QString chosen = prompter.openRobotFile(robotFolder, settings.robotProfile);
    if (chosen.isEmpty())
        return false;
    settings.robotProfile = chosen;
    return true;
}

std::vector<int> portsThatOpen()
{
    std::vector<int> ports;
    for (const platform::PortEntry& e : platform::portMap()) {
        if (ports.size() >= 255)
            break;
        platform::SerialDevice device;
        if (device.open(e.device, 57600)) {
            device.close();
            ports.push_back(e.number);
        }
    }
    return ports; // portMap() is sorted by number
}

ComPortDialog::ComPortDialog(const std::vector<int>& ports, int savedPort, QWidget* parent)
    : QDialog(parent), list_(new QComboBox(this))
{
    setWindowTitle(posewright::text(Txt::SelectPortTitle));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(posewright::text(Txt::PortLabel), this));
    row->addWidget(list_, 1);
    for (int n : ports)
        list_->addItem(QString(posewright::text(Txt::PortName)).arg(n), n);
    const int saved = list_->findText(QString(posewright::text(Txt::PortName)).arg(savedPort));
    list_->setCurrentIndex(saved >= 0 ? saved : (list_->count() ? 0 : -1));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* connectButton =
        buttons->addButton(posewright::text(Txt::ConnectButton), QDialogButtonBox::AcceptRole);
    buttons->addButton(posewright::text(Txt::CancelButton), QDialogButtonBox::RejectRole);
    connectButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (list_->currentIndex() < 0)
            return; // no selection: stay open
        chosen_ = list_->currentData().toInt();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

// ---------------------------------------------------------------------------------------------

SplashWindow::SplashWindow()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture())
{
    setObjectName("VistapaneSplashWnd");
    setWindowTitle(posewright::text(Txt::SplashTitle));
    setFixedSize(picture_.size());
    setCursor(Qt::WaitCursor);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

QPixmap SplashWindow::picture()
{
    registerResources();
    QPixmap p(":/posewright/splash.png");
    if (p.isNull()) {
        p = QPixmap(640, 480);
        p.fill(QColor(20, 40, 70));
    }
    return p;
}

void SplashWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
    QFont f("Arial");
    f.setPixelSize(12);
    f.setWeight(QFont::Normal);
    p.setFont(f);
    p.setPen(QColor(0, 255, 255));
    const QRect band(16, height() - 94, width() - 32, 94 - 26);
    p.drawText(band, Qt::AlignCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(posewright::text(Txt::SplashText), Qt::ElideRight, band.width()));
}

// ---------------------------------------------------------------------------------------------

QtPrompter::QtPrompter()
    : guikit::QtPrompter(kAppTitle, {.inform = {QMessageBox::Warning, QMessageBox::Ok},
                                     .save = {QMessageBox::Warning,
                                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                              QMessageBox::Save}})
{
}

void QtPrompter::inform(const QString& caption, const QString& text)
{
    guikit::showBox(parent(), caption.isEmpty() ? guikit::QtPrompter::caption() : caption, text,
                    {QMessageBox::Warning, QMessageBox::Ok});
}

void QtPrompter::tell(const QString& text)
{
    guikit::showBox(parent(), guikit::QtPrompter::caption(), text,
                    {QMessageBox::Information, QMessageBox::Ok});
}

std::optional<int> QtPrompter::choosePort(int savedPort)
{
    ComPortDialog dialog(portsThatOpen(), savedPort, parent());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenPort();
}

QString QtPrompter::openRobotFile(const QString& folder, const QString& name)
{
    QFileDialog dialog(parent(), QString(), folder, posewright::text(Txt::RobotFileFilter));
    dialog.setDefaultSuffix("rbt");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFileInfo(dialog.selectedFiles().first()).fileName();
}

} // namespace posewright
