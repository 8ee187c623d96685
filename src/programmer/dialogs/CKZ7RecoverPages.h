#pragma once
// The six pages of the recovery wizard. Each shows one message; the sheet decides what they do.

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace programmer {

class PercentBar;
class PortCombo;

class CKZ7RecoverPage : public QWidget {
    Q_OBJECT
  public:
    explicit CKZ7RecoverPage(QWidget* parent = nullptr);
    void setMessage(const QString& text);
    QString message() const;

  protected:
    QVBoxLayout* layout_;

  private:
    QLabel* message_;
};

class CKZ7RecoverPage1 : public CKZ7RecoverPage {
    Q_OBJECT
  public:
    using CKZ7RecoverPage::CKZ7RecoverPage;
};

// Choosing the port.
class CKZ7RecoverPage2 : public CKZ7RecoverPage {
    Q_OBJECT
  public:
    explicit CKZ7RecoverPage2(QWidget* parent = nullptr);
    PortCombo* combo;
};

// Waiting for power-on.
class CKZ7RecoverPage3 : public CKZ7RecoverPage {
    Q_OBJECT
  public:
    using CKZ7RecoverPage::CKZ7RecoverPage;
};

// Choosing the firmware file.
class CKZ7RecoverPage4 : public CKZ7RecoverPage {
    Q_OBJECT
  public:
    explicit CKZ7RecoverPage4(QWidget* parent = nullptr);
    QPushButton* find;
    QLabel* fileName;
    QCheckBox* check; // "Check by reading back"
};

// Installing.
class CKZ7RecoverPage5 : public CKZ7RecoverPage {
    Q_OBJECT
  public:
    explicit CKZ7RecoverPage5(QWidget* parent = nullptr);
    PercentBar* bar;
    QPushButton* skip; // ends the read-back's wait for START
};

class CKZ7RecoverPage6 : public CKZ7RecoverPage {
    Q_OBJECT
  public:
    using CKZ7RecoverPage::CKZ7RecoverPage;
};

} // namespace programmer
