#pragma once
// "Serial setup": the port and the rate to connect with.

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace terminal {

class SerialSetupDialog : public QDialog {
    Q_OBJECT
  public:
    static const std::vector<int>& rates();

    SerialSetupDialog(const std::vector<std::string>& ports, const std::string& savedPort, int savedRate,
                      QWidget* parent = nullptr);
    // Names what stands behind each port of the list, in the list's order ("KZ-7 Simulator",
    // an adapter's product and serial number); an empty text leaves the name alone.
    void setDescriptions(const std::vector<std::string>& descriptions);
    std::string selectedPort() const;
    // The chosen or typed rate; 0 when the text is no rate the serial layer can set.
    int selectedRate() const;
    QString rateHint() const;
    QComboBox* portList() const { return ports_; }
    QComboBox* rateList() const { return rates_; }
    QPushButton* connectButton() const { return connect_; }

  private:
    QComboBox* ports_;
    QComboBox* rates_;
    QPushButton* connect_;
    QLabel* rateHint_;
};

} // namespace terminal
