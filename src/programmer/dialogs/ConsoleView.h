#pragma once
// The console pane of the transfer dialogs: shows what the controller sends, filtered by
// comm::ConsoleFilter (printable ASCII, CR, LF after CR, leading backspaces erasing what is
// shown, at most 1,000,000 characters). The user cannot type or click into it.

#include "link/ConsoleFilter.h"

#include <QPlainTextEdit>

#include <cstddef>
#include <cstdint>

namespace programmer {

class ConsoleView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ConsoleView(QWidget* parent = nullptr);

    void append(const std::uint8_t* bytes, std::size_t count);
    void append(const std::string& bytes)
    {
        append(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // A single space, as the pane's cleared state.
    void clear();

    // The pane's text as the controller's bytes left it (CR kept); what is shown is displayText().
    const std::string& consoleText() const { return filter_.text(); }
    // How a console text is shown: CR LF and a lone CR end a line, kept backspaces are not drawn.
    static QString displayText(const std::string& consoleText);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Appends console characters to the shown text, keeping a CR LF split across two appends
    // one line end.
    void appendShown(const std::string& inserted);
    void scrollToNewest();

    comm::ConsoleFilter filter_;
    bool shownEndsInCR_ = false;
};

} // namespace programmer
