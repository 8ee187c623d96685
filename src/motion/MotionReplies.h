#pragma once
// The controller's replies that steer the editor, read from the message line after every
// MessageChanged.

#include <string_view>

namespace motion {

// Asked before a command that would lose the page's changes; answer with "y" or "n".
inline bool asksAreYouSure(std::string_view message)
{
    return message.find("Are you sure?") != std::string_view::npos;
}
// While a page plays, the controller reports its end with "OK".
inline bool reportsOk(std::string_view message)
{
    return message.find("OK") != std::string_view::npos;
}
// The controller has begun writing the page: the editor may take input again.
inline bool reportsWriting(std::string_view message)
{
    return message.find("Writing") != std::string_view::npos;
}

// The editor's question when the controller asks "Are you sure?".
constexpr const char* kIncorrectPoseQuestion =
    "Execute incorrect pose or closing a present page without saving \nDo you want to continue?";

// What the editor sends for its answer (short wait, no "\r").
inline const char* answerFor(bool yes)
{
    return yes ? "y" : "n";
}

} // namespace motion
