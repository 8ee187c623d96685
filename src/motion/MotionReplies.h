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

// What the editor has to do after one MessageChanged.
struct ReplySteering {
    bool askQuestion = false;  // ask the incorrect-pose question, send answerFor(yes)
    bool playingEnded = false; // the page that was playing has finished
    bool reEnable = false;     // the controller is writing: take input again
};

// Reads the message line after every MessageChanged and reports each steering reply once per
// appearance. Console text arrives byte by byte and raises MessageChanged for every byte, so a
// plain "contains" test would ask the same question again for each byte after its "?".
class ReplyWatcher {
  public:
    ReplySteering onMessage(std::string_view message, bool playing)
    {
        ReplySteering r;
        const bool asks = asksAreYouSure(message);
        const bool ok = reportsOk(message);
        const bool writing = reportsWriting(message);
        r.askQuestion = asks && !asking_;
        r.playingEnded = playing && ok && !ok_;
        r.reEnable = writing && !writing_;
        asking_ = asks;
        ok_ = ok;
        writing_ = writing;
        return r;
    }
    // After sending a command: a reply that repeats the previous text counts as new.
    void reset() { asking_ = ok_ = writing_ = false; }

  private:
    bool asking_ = false;
    bool ok_ = false;
    bool writing_ = false;
};

// What the editor sends for its answer (short wait, no "\r").
inline const char* answerFor(bool yes)
{
    return yes ? "y" : "n";
}

} // namespace motion
