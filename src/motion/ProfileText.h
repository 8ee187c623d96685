#pragma once
// Line and field handling shared by the two robot profile readers.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace motion {

// Splits profile text into lines at LF; a CR right before the LF (or at the very end) is part of
// the line end, not of the line.
class ProfileLines {
  public:
    explicit ProfileLines(std::string_view text) : text_(text) {}
    // Next line without its line end; false at the end of the text.
    bool next(std::string_view& line);
    int lineNumber() const { return lineNumber_; }

  private:
    std::string_view text_;
    size_t pos_ = 0;
    int lineNumber_ = 0;
};

// Fields of one line: colon is the only delimiter and a run of colons counts as one, so a line
// never yields an empty field. Spaces stay inside the field.
std::vector<std::string_view> splitProfileFields(std::string_view line);

// Decimal number the way the profile has always been read: optional leading blanks, an optional
// sign, at least one digit; whatever follows the digits is ignored. nullopt when there is no
// number or it does not fit an int.
std::optional<int> parseProfileNumber(std::string_view field);

} // namespace motion
