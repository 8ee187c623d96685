#include "programmer/GridModel.h"

#include "programmer/CatalogueIcons.h"
#include "programmer/ProgramText.h"
#include "taskloom_base/ProgrammerTexts.h"

#include "behaviour/CommandCatalogue.h"

#include <algorithm>

namespace programmer {

using behaviour::ProgramCell;
using behaviour::ProgramLine;
namespace LineFlag = behaviour::LineFlag;

QColor lineBackground(uint16_t flags)
{
    QColor c = GridColour::LinePlain;
    if (flags & LineFlag::Edited)
        c = GridColour::LineEdited;
    if (flags & LineFlag::Current)
        c = GridColour::LineCurrent;
    if (flags & LineFlag::Disabled)
        c = GridColour::LineDisabled;
    if (flags & LineFlag::Selected)
        c = GridColour::LineSelected;
    return c;
}

GridModel::GridModel(const behaviour::BehaviorProgram& program, QObject* parent)
    : QAbstractTableModel(parent), program_(program), lines_(program.count())
{
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2 * lines_;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GridColumns;
}

namespace {

bool showsIcon(const ProgramCell& c)
{
    return c.inUse() && c.style == behaviour::Style::TextIcon && c.entry != behaviour::NoEntry &&
           c.entry < CatalogueIconCount && c.entry >= 0;
}

QVariant lineArea(const ProgramLine& line, const GridTarget& t, int lineIndex, int role)
{
    switch (role) {
    case Qt::DisplayRole:
        if (t.kind == GridTarget::Kind::LineNumber)
            return QString::number(lineIndex + 1);
        if (t.kind == GridTarget::Kind::Label)
            return text(Str::LabelPrefix) + fromProgramText(line.label);
        return text(Str::CommentPrefix) + fromProgramText(line.comment);
    case Qt::BackgroundRole:
        return lineBackground(line.flags);
    case Qt::ForegroundRole:
        return QColor((line.flags & LineFlag::Selected) ? Qt::white : Qt::black);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(t.kind == GridTarget::Kind::LineNumber ? Qt::AlignCenter
                                                                          : Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (t.kind != GridTarget::Kind::LineNumber) {
            const std::string& s = t.kind == GridTarget::Kind::Label ? line.label : line.comment;
            if (!s.empty())
                return fromProgramText(s);
        }
        return {};
    default:
        return {};
    }
}

QVariant cellArea(const ProgramLine& line, const GridTarget& t, int role)
{
    // Separator i takes the colours of cell i.
    const ProgramCell& cell = line.cells[static_cast<size_t>(t.index)];
    switch (role) {
    case Qt::DisplayRole:
        if (t.kind == GridTarget::Kind::Separator) {
            const auto& sep = line.separators[static_cast<size_t>(t.index)];
            return sep.kind != behaviour::SepKind::None ? fromProgramText(sep.text) : QString();
        }
        return cell.inUse() ? fromProgramText(cell.gridText) : QString();
    case Qt::DecorationRole:
        if (t.kind == GridTarget::Kind::Cell && showsIcon(cell))
            return cataloguePixmap(cell.entry);
        return {};
    case Qt::BackgroundRole:
        if (cell.hasError())
            return GridColour::CellError;
        return cell.inUse() ? GridColour::CellInUse : GridColour::CellUnused;
    case Qt::ForegroundRole:
        return cell.hasError() ? GridColour::TextError : QColor(Qt::black);
    case Qt::TextAlignmentRole:
        if (t.kind == GridTarget::Kind::Cell && showsIcon(cell))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignCenter);
    case Qt::ToolTipRole:
        // Every line, not only the edited ones: a name cut to six letters is read here whole.
        if (t.kind == GridTarget::Kind::Cell && cell.inUse() && !cell.fullText.empty())
            return fromProgramText(cell.fullText);
        return {};
    default:
        return {};
    }
}

} // namespace

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    const GridTarget t = targetAt(index.row(), index.column(), lines_);
    if (t.kind == GridTarget::Kind::None || t.line >= program_.count())
        return {};
    const ProgramLine& line = program_.line(t.line);
    if (t.kind == GridTarget::Kind::Cell || t.kind == GridTarget::Kind::Separator)
        return cellArea(line, t, role);
    return lineArea(line, t, t.line, role);
}

void GridModel::linesChanged(int first, int n)
{
    const int target = program_.count();
    if (target > lines_) {
        beginInsertRows({}, 2 * lines_, 2 * target - 1);
        lines_ = target;
        endInsertRows();
    } else if (target < lines_) {
        beginRemoveRows({}, 2 * target, 2 * lines_ - 1);
        lines_ = target;
        endRemoveRows();
    }
    first = std::max(first, 0);
    const int last = std::min(first + n, lines_) - 1;
    if (last >= first)
        emit dataChanged(index(2 * first, 0), index(2 * last + 1, GridColumns - 1));
}

void GridModel::rebuild()
{
    beginResetModel();
    lines_ = program_.count();
    endResetModel();
}

} // namespace programmer
