#include "programmer/LineClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace programmer {

bool SystemClipboard::putBlock(const std::vector<uint8_t>& block)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    auto* data = new QMimeData;
    data->setData(LinecraftMime, QByteArray(reinterpret_cast<const char*>(block.data()),
                                            static_cast<qsizetype>(block.size())));
    clipboard->setMimeData(data);
    const auto held = this->block();
    return held && *held == block;
}

std::optional<std::vector<uint8_t>> SystemClipboard::block() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data || !data->hasFormat(LinecraftMime))
        return std::nullopt;
    const QByteArray bytes = data->data(LinecraftMime);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace programmer
