#pragma once
// The editor view of one program window: the grid and the windows placed over it (choice list,
// text box, pads, operand kind menu, parameter dialog). It decides which behaviour operation a
// click or key stands for, calls it, and commits the change to the document.

#include "guikit/Prompter.h"
#include "programmer/GridLayout.h"

#include "behaviour/CommandCatalogue.h"

#include <QWidget>

class QMenu;
class QAction;

namespace motion {
class DeviceTable;
}

namespace programmer {

class BitPad;
class CEditorDoc;
class CGridCtrl;
class ChoiceList;
class GridModel;
class InPlaceTextBox;
class LineClipboard;

class CEditorView : public QWidget {
    Q_OBJECT
  public:
    CEditorView(CEditorDoc& doc, const motion::DeviceTable& devices, guikit::Prompter& prompter,
                LineClipboard& clipboard, QWidget* parent = nullptr);

    CEditorDoc& document() const { return doc_; }
    CGridCtrl* grid() const { return grid_; }
    GridModel* model() const { return model_; }
    ChoiceList* choiceList() const { return choiceList_; }
    InPlaceTextBox* textBox() const { return textBox_; }
    BitPad* buttonPad() const { return buttonPad_; }
    BitPad* remoconPad() const { return remoconPad_; }
    QMenu* operandKindMenu() const { return kindMenu_; }

    // The actions a double-click, Enter or a right-button release start.
    void activate(const GridTarget& t);
    void rightRelease(const GridTarget& t, const QPoint& globalPos);
    void click(const GridTarget& t, bool shift);

    // Edit commands and their enabled states.
    bool textBoxFocused() const;
    bool canCutOrCopy() const;
    bool canPaste() const;
    bool hasSelection() const;
    void cut();
    void copy();
    void paste();
    void insertLines();
    void deleteLines();
    void toggleEnabled();
    // The line selection from the keyboard: the first press selects the highlighted line, each
    // further press extends it by one line; Alt moves the selected lines instead.
    void selectByKey(int delta);
    void moveByKey(int delta);
    void undo();
    void redo();

    // Hides the list, the text box and both pads.
    void hidePopups();
    // Scrolls to a target and puts the highlight on it.
    void goTo(const GridTarget& t);

  signals:
    // A right-button release on the line-number column: the Edit menu at that place.
    void editMenuRequested(const QPoint& globalPos);
    // The edit commands' enabled states may have changed.
    void editStateChanged();

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void openTextBox(const GridTarget& t, const QString& text, int offset);
    void showChoiceList(const GridTarget& t, const std::vector<behaviour::ChoiceItem>& items, bool icons);
    void showPad(BitPad* pad, const GridTarget& t);
    void openParameterDialog(const GridTarget& t);
    void showKindMenu(const GridTarget& t, const QPoint& globalPos);
    void chosen(const behaviour::ChoiceItem& item);
    void textAccepted(const QString& text);
    void padClosed(BitPad* pad, int bits);
    void kindController();
    void kindTyping();
    void kindDevice();
    void setCurrent(const GridTarget& t);
    void selectionRepaint(int oldFirst, int oldLast);
    QPoint placeInside(QRect want) const;

    CEditorDoc& doc_;
    const motion::DeviceTable& devices_;
    guikit::Prompter& prompter_;
    LineClipboard& clipboard_;
    GridModel* model_;
    CGridCtrl* grid_;
    ChoiceList* choiceList_;
    InPlaceTextBox* textBox_;
    BitPad* buttonPad_;
    BitPad* remoconPad_;
    QMenu* kindMenu_;
    GridTarget editing_;  // the target of the open list, text box, pad or menu
    int anchorLine_ = -1; // where a keyboard or Shift+click selection started
    int focusLine_ = -1;  // the end of it that the keys move
};

} // namespace programmer
