#pragma once
// The two grids' editing rules without pixels. The page grid shows the page information (9 rows,
// captions and values) and edits one value at a time; the pose grid shows each pose's speed and
// pause (columns 2p and 2p+1). Both raise the same codes to the editor.

#include <array>
#include <string>

namespace posewright {

// Codes both grids raise (the editor maps them to commands).
enum GridCode { GridPicked = 200, GridEntered = 201, GridStepUp = 202, GridStepDown = 203 };

class PageGrid {
  public:
    static constexpr int kRows = 9;
    static constexpr int kNameRow = 0;
    static constexpr int kNumberRow = 1;
    static constexpr int kAddressRow = 2;

    PageGrid();

    // The controller's cursor row for a grid row (rows 0 and 1 keep their number).
    static int cursorRow(int row);

    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }

    // Double-click on (row, column); returns the code to raise (0: none). On the offset page
    // only the page number opens, and silently.
    int doubleClick(int row, int column, bool offsetPage);
    // The name editor's Enter; returns GridEntered.
    int nameEntered(const std::string& text);
    // The value editor's Enter, step down, step up; each returns the code to raise (0: none).
    int valueEntered(const std::string& text);
    int valueStepDown();
    int valueStepUp();
    void hideEditor() { editorOpen_ = false; }

    void setName(const std::string& name);
    void setValue(int index, int value);
    // Back to the values shown before any page was painted (no page is shown).
    void clearValues();
    // The shown value: row 2 read as hexadecimal, others as decimal; 0 when unreadable.
    int value(int index) const;
    const std::string& text(int row) const { return text_.at(static_cast<size_t>(row)); }

    bool editorOpen() const { return editorOpen_; }
    int editorRow() const { return editorRow_; }
    bool nameEditor() const { return editorRow_ == kNameRow; }
    const std::string& editorText() const { return editorText_; }
    void setEditorText(std::string text) { editorText_ = std::move(text); }
    // Counts the controller's writes of the open editor's field and the editor's openings.
    int editorWrites() const { return editorWrites_; }
    int editedRow() const { return editedRow_; } // the cursor row of the edited field
    const std::string& editedText() const { return editedText_; }
    bool numeric() const { return numeric_; }

  private:
    std::array<std::string, kRows> text_{};
    bool enabled_ = false;
    bool editorOpen_ = false;
    int editorRow_ = -1;
    std::string editorText_;
    int editorWrites_ = 0;
    int editedRow_ = 0;
    std::string editedText_;
    bool numeric_ = false;
};

class PoseGrid {
  public:
    static constexpr int kColumns = 14;

    PoseGrid();
    static const char* caption(int column) { return column % 2 == 0 ? " Speed" : " Pause"; }

    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }

    int doubleClick(int row, int column);
    int valueEntered(const std::string& text);
    int valueStepDown() { return GridStepDown; }
    int valueStepUp() { return GridStepUp; }
    void hideEditor() { editorOpen_ = false; }

    void setValue(int column, int value);
    void clearValues();
    const std::string& text(int column) const { return text_.at(static_cast<size_t>(column)); }

    bool editorOpen() const { return editorOpen_; }
    int editedColumn() const { return editedColumn_; }
    const std::string& editorText() const { return editorText_; }
    void setEditorText(std::string text) { editorText_ = std::move(text); }
    int editorWrites() const { return editorWrites_; }
    const std::string& editedText() const { return editedText_; }

  private:
    std::array<std::string, kColumns> text_{};
    bool enabled_ = false;
    bool editorOpen_ = false;
    int editedColumn_ = 0;
    std::string editorText_;
    int editorWrites_ = 0;
    std::string editedText_;
};

} // namespace posewright
