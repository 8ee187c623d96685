#pragma once
// "Setup color": edits the background and text colours with a preview on the live screen.

#include "termcore/ColorEditor.h"

#include <QDialog>

#include <array>
#include <functional>

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace terminal {

class ColorSetupDialog : public QDialog {
    Q_OBJECT
  public:
    // apply shows two colours on the screen (background first, then text).
    using Apply = std::function<void(termcore::Rgb background, termcore::Rgb text)>;

    ColorSetupDialog(termcore::Rgb storedBackground, termcore::Rgb storedText, Apply apply,
                     QWidget* parent = nullptr);

    termcore::Rgb background() const { return editor_.background(); }
    termcore::Rgb text() const { return editor_.text(); }
    QRadioButton* backgroundButton() const { return backgroundButton_; }
    QRadioButton* textButton() const { return textButton_; }
    QScrollBar* bar(int component) const { return bars_[static_cast<size_t>(component)]; }
    QLabel* number(int component) const { return numbers_[static_cast<size_t>(component)]; }
    QPushButton* previewButton() const { return preview_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  public slots:
    void accept() override;
    void reject() override;

  private:
    void showEdited();
    void onAction(int component, int action);
    void onPreview();

    termcore::Rgb storedBackground_, storedText_;
    termcore::ColorEditor editor_;
    Apply apply_;
    QRadioButton* backgroundButton_;
    QRadioButton* textButton_;
    std::array<QScrollBar*, 3> bars_{};
    std::array<QLabel*, 3> numbers_{};
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* preview_;
    bool showing_ = false;
};

} // namespace terminal
