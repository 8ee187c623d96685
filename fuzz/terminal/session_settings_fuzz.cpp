// The terminal's side file reader: any bytes. What it reads stays within its limits, and what
// it writes reads back to the same settings.

#include "termcore/ByteEscapes.h"
#include "termcore/SessionSettings.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using termcore::SessionSettings;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SessionSettings settings;
    settings.parse(text);
    if (settings.columns < 20 || settings.columns > 400 || settings.rows < 4 || settings.rows > 300)
        std::abort();
    if (settings.fontPixels != 0 && (settings.fontPixels < SessionSettings::kMinFontPixels ||
                                     settings.fontPixels > SessionSettings::kMaxFontPixels))
        std::abort();
    for (const auto& s : settings.sendStrings) {
        if (s.name.size() > size_t(SessionSettings::kMaxNameLength) || s.name.find('|') != std::string::npos)
            std::abort();
        // Whatever the text, its bytes decode and encode back to the same bytes.
        const std::string bytes = termcore::ByteEscapes::decode(s.text);
        if (termcore::ByteEscapes::decode(termcore::ByteEscapes::encode(bytes)) != bytes)
            std::abort();
    }
    const std::string saved = settings.serialise();
    SessionSettings again;
    if (!again.parse(saved) || again.serialise() != saved)
        std::abort();
    return 0;
}
