// Received bytes into the terminal screen: escape sequences, control codes, scrolling by hand
// between batches. The model's invariants must hold after every batch.

#include "termcore/TerminalScreen.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using termcore::ScrollCode;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    // The first bytes pick the font metrics (zero included) and the view size.
    const int cw = data[0] % 20;
    const int lh = data[1] % 24;
    const int viewRows = data[2] % 50;
    const int small = data[3] & 1;
    data += 4;
    size -= 4;
    termcore::TerminalScreen screen;
    if (!screen.create(80, small ? 401 : 1200, {cw, lh}, 80 * cw, viewRows * lh))
        std::abort();
    size_t pos = 0;
    while (pos < size) {
        // A batch length, then a hand scroll between batches.
        const size_t n = std::min<size_t>(size - pos, 1 + data[pos] % 97);
        screen.write(data + pos, n);
        const uint8_t op = data[pos];
        pos += n;
        switch (op % 7) {
        case 0:
            screen.verticalScroll(ScrollCode::PageUp);
            break;
        case 1:
            screen.verticalScroll(ScrollCode::ThumbTrack, op * 37);
            break;
        case 2:
            screen.horizontalScroll(ScrollCode::ThumbTrack, op * 3);
            break;
        case 3:
            screen.wheel(op & 8 ? 120 : -120);
            break;
        case 4:
            if (op > 250)
                screen.clear();
            break;
        default:
            break;
        }
        const int cellCount = screen.columns() * screen.rows();
        if (screen.cursor() < 0 || screen.cursor() >= cellCount)
            std::abort();
        if (screen.ringStart() % screen.columns() != 0 || screen.ringStart() < 0 ||
            screen.ringStart() >= cellCount)
            std::abort();
        if (screen.scrollX() < 0 || screen.scrollY() < 0 || screen.contentWidth() < 0 ||
            screen.contentHeight() < 0)
            std::abort();
        if (screen.verticalMaximum() < 0 || screen.horizontalMaximum() < 0)
            std::abort();
        const auto r = screen.invalidRect();
        if (!r.empty() &&
            (r.left < 0 || r.top < 0 || r.right > screen.viewWidth() || r.bottom > screen.viewHeight()))
            std::abort();
        // Every row is readable in one piece.
        const uint8_t* last = screen.rowData(screen.rows() - 1);
        if (!last)
            std::abort();
        volatile uint8_t touch = last[screen.columns() - 1];
        (void)touch;
    }
    return 0;
}
