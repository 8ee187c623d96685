#pragma once
// The vocabulary of the behaviour language: 82 named entries with their controller codes, the
// choice lists offered for each kind of cell, the register lists per device kind and direction,
// the line templates and the rules for the texts a cell shows. Icons belong to the grid; the core
// only knows that entries 0..50 have one.

#include "behaviour/ProgramLine.h"

#include <string>
#include <vector>

namespace behaviour {

// Catalogue indexes the rules refer to by number.
namespace Entry {
inline constexpr int DeviceAll = 0; // first of the device kinds 0..4
inline constexpr int ControllerFirst = 39;
inline constexpr int TxRemocon = 41;
inline constexpr int RxRemocon = 42;
inline constexpr int Button = 45;
inline constexpr int ControllerLast = 50;
inline constexpr int Undefine = 51;
inline constexpr int FirstInstruction = 52; // IF; instruction number i is entry 52 + i
inline constexpr int FirstComparison = 63;  // "="; operator number k (3..8) is entry 60 + k
inline constexpr int FirstConnective = 69;  // THEN; connective k (15..17) is entry 54 + k
inline constexpr int FirstArithmetic = 72;  // "+"; operator number k (9..14) is entry 63 + k
inline constexpr int OpenParen = 78;
inline constexpr int CloseParen = 79;
inline constexpr int Equals = 80;
inline constexpr int Arrow = 81;
} // namespace Entry

// List codes that make a controller register a constant's left side.
inline constexpr uint8_t ListCodeButton = 23;
inline constexpr uint8_t ListCodeRemocon = 24;
inline constexpr int ControllerId = 200;
inline constexpr int BroadcastId = 254;
inline constexpr size_t GridNameLimit = 6;

struct ChoiceItem {
    int entry;        // catalogue index
    uint8_t listCode; // stored in the cell when chosen
    bool operator==(const ChoiceItem&) const = default;
};

enum class DeviceKind { All = 0, Servo = 1, Sensor = 2 };
enum class Direction { Read, Write };

class CommandCatalogue {
  public:
    // The process-wide catalogue, built on first use.
    static const CommandCatalogue& instance();

    // Reads the entry strings ("name:0xNN"); a second call does nothing.
    void build();
    bool built() const { return built_; }

    int count() const { return static_cast<int>(names_.size()); }
    int iconCount() const { return iconCount_; }
    bool valid(int index) const { return index >= 0 && index < count(); }
    // Empty text for an index outside the catalogue.
    const std::string& name(int index) const;
    // -1 for an index outside the catalogue.
    int code(int index) const;

    // The (entry, list code) pairs offered for a cell, in display order; empty when the cell has none.
    static std::vector<ChoiceItem> choiceList(const ProgramCell& cell);
    // The controller registers offered for an operand that is read or written.
    static std::vector<ChoiceItem> controllerChoices(Direction direction);
    // Register entries offered for a bus device of the given kind.
    static std::vector<int> registerList(DeviceKind kind, Direction direction);
    // Re-shapes the line after an instruction or connective was stored in cell `column`.
    void apply(ProgramLine& line, int column) const;

    // Grid text of a name: at most 6 characters, a longer one cut and followed by "...".
    static std::string gridName(const std::string& name);
    // Grid and full text of a controller register.
    std::string controllerGridText(int entry) const { return gridName(name(entry)); }
    std::string controllerFullText(int entry) const { return "KZ-7 " + name(entry); }
    // "U+L+S" style text of a button-combination value.
    static std::string buttonText(int32_t bits);

  private:
    bool built_ = false;
    int iconCount_ = 0;
    std::vector<std::string> names_;
    std::vector<int> codes_;
};

} // namespace behaviour
