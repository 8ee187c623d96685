#include "sim/LineEditor.h"

namespace sim {

bool LineEditor::edit(uint8_t byte, std::string& finished)
{
    if (byte == '\r') {
        finished.swap(line_);
        line_.clear();
        out_ += "\r\n";
        return true;
    }
    if (byte == 8 || byte == 127) {
        if (!line_.empty()) {
            line_.pop_back();
            out_ += "\b \b";
        }
        return false;
    }
    if (byte >= 32 && byte <= 126) {
        const bool fits = line_.size() < kLength;
        if (fits)
            line_.push_back(static_cast<char>(byte));
        if (fits || echoPastEnd_ == EchoPastEnd::Yes)
            out_.push_back(static_cast<char>(byte));
    }
    return false;
}

} // namespace sim
