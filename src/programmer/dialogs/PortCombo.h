#pragma once
// The port drop-down of every controller dialog: the COM names present now, each with what
// stands behind it, the saved port preselected. Opening the list looks again, so a cable plugged
// in after the dialog opened can be chosen; nothing is opened to find the ports.

#include <QComboBox>

namespace programmer {

class PortCombo : public QComboBox {
    Q_OBJECT
  public:
    static constexpr int kMaxPorts = 255;

    explicit PortCombo(QWidget* parent = nullptr);
    // Lists the ports again and selects "COM<savedPort>", or the first entry when it is missing.
    void refill(int savedPort);
    // Fills from a given list (the port map's, or a test's); a description, where given, is
    // shown after the name.
    void fill(const QStringList& names, int savedPort, const QStringList& descriptions = {});
    // The chosen name ("COM3"), without its description.
    QString selectedPort() const { return currentData().toString(); }
    void showPopup() override;

    // n of a name "COMn" (n 1..256); 0 for anything else.
    static int portNumber(const QString& name);
};

} // namespace programmer
