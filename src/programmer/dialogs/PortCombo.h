#pragma once
// The port drop-down of every controller dialog: the COM names that open now, with the saved
// port preselected.

#include <QComboBox>

namespace programmer {

class PortCombo : public QComboBox {
    Q_OBJECT
  public:
    static constexpr int kMaxPorts = 255;

    explicit PortCombo(QWidget* parent = nullptr);
    // Lists the ports again and selects "COM<savedPort>", or the first entry when it is missing.
    void refill(int savedPort);
    // Fills from a given list (the enumeration, or a test's).
    void fill(const QStringList& names, int savedPort);
    QString selectedPort() const { return currentText(); }

    // n of a name "COMn" (n 1..256); 0 for anything else.
    static int portNumber(const QString& name);
};

} // namespace programmer
