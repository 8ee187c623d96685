#include "programmer/ProgramPrinter.h"

#include "programmer/CGridCtrl.h"
#include "programmer/GridLayout.h"
#include "programmer/GridModel.h"

#include <QAbstractItemDelegate>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace programmer {

namespace {

// The grid at its normal size: the zoom is for the screen, paper has its own scale.
int gridWidth()
{
    int w = 0;
    for (int c = 0; c < GridColumns; ++c)
        w += columnWidth(c);
    return w;
}

constexpr int LineHeight = TextRowHeight + CellRowHeight;

bool holdsSomething(const behaviour::ProgramLine& line)
{
    return !line.label.empty() || !line.comment.empty() || line.cells[0].code[2] != behaviour::NotChosen;
}

} // namespace

ProgramPrinter::ProgramPrinter(const CGridCtrl& grid, const QString& title) : grid_(grid), title_(title)
{
    const GridModel* model = grid.gridModel();
    const auto& program = model->program();
    for (int l = program.count() - 1; l >= 0; --l)
        if (holdsSomething(program.line(l))) {
            lines_ = l + 1;
            break;
        }
}

ProgramPrinter::Layout ProgramPrinter::layout(int pageWidth, int pageHeight) const
{
    Layout l;
    l.scale = static_cast<double>(pageWidth) / gridWidth();
    l.header = static_cast<int>(std::lround(36 * l.scale));
    l.linesPerPage = std::max(1, static_cast<int>((pageHeight - l.header) / (LineHeight * l.scale)));
    return l;
}

int ProgramPrinter::pageCount(int pageWidth, int pageHeight) const
{
    const Layout l = layout(pageWidth, pageHeight);
    return (lines_ + l.linesPerPage - 1) / l.linesPerPage;
}

void ProgramPrinter::paintPage(QPainter& p, const Layout& l, int page, int pages, int pageWidth) const
{
    QFont font = grid_.font();
    font.setPixelSize(12);
    p.save();
    p.setFont(font);
    p.scale(l.scale, l.scale);
    const int width = static_cast<int>(pageWidth / l.scale);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, width, 24), Qt::AlignLeft | Qt::AlignVCenter, title_);
    p.drawText(QRect(0, 0, width, 24), Qt::AlignRight | Qt::AlignVCenter,
               QString("Page %1 of %2").arg(page + 1).arg(pages));
    p.translate(0, 36);

    // Each area painted by the grid's own delegate, at the grid's normal size.
    const GridModel* model = grid_.gridModel();
    QStyleOptionViewItem option;
    option.font = font;
    option.state = QStyle::State_Enabled;
    QAbstractItemDelegate* delegate = grid_.itemDelegate();
    const int first = page * l.linesPerPage;
    const int last = std::min(lines_, first + l.linesPerPage);
    p.setPen(QColor(64, 64, 64));
    for (int line = first; line < last; ++line) {
        const int top = (line - first) * LineHeight;
        int x = 0;
        for (int c = 0; c < GridColumns; ++c) {
            const int w = columnWidth(c);
            const auto paint = [&](int row, QRect r) {
                option.rect = r;
                delegate->paint(&p, option, model->index(row, c));
                p.setPen(QColor(64, 64, 64));
                p.setBrush(Qt::NoBrush);
                p.drawRect(r);
            };
            if (c == 0) {
                paint(2 * line, QRect(x, top, w, LineHeight));
            } else {
                if (c == LabelFirstColumn || c == CommentFirstColumn) {
                    const int end = c == LabelFirstColumn ? CommentFirstColumn : GridColumns;
                    int span = 0;
                    for (int k = c; k < end; ++k)
                        span += columnWidth(k);
                    paint(2 * line, QRect(x, top, span, TextRowHeight));
                }
                paint(2 * line + 1, QRect(x, top + TextRowHeight, w, CellRowHeight));
            }
            x += w;
        }
    }
    p.restore();
}

int ProgramPrinter::print(QPagedPaintDevice& device) const
{
    QPainter p;
    if (!p.begin(&device))
        return 0;
    const QRect page(0, 0, device.width(), device.height()); // the printable area, in device pixels
    const Layout l = layout(page.width(), page.height());
    const int pages = pageCount(page.width(), page.height());
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage())
            return 0;
        paintPage(p, l, i, pages, page.width());
    }
    return p.end() ? pages : 0;
}

std::vector<QImage> ProgramPrinter::pictures(int dpi) const
{
    // A4 with 10 mm margins, as the PDF.
    const double perMm = dpi / 25.4;
    const QSize sheet(static_cast<int>(210 * perMm), static_cast<int>(297 * perMm));
    const int margin = static_cast<int>(10 * perMm);
    const QSize inside = sheet - QSize(2 * margin, 2 * margin);
    const Layout l = layout(inside.width(), inside.height());
    const int pages = pageCount(inside.width(), inside.height());
    std::vector<QImage> out;
    for (int i = 0; i < pages; ++i) {
        QImage image(sheet, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.translate(margin, margin);
        paintPage(p, l, i, pages, inside.width());
        out.push_back(std::move(image));
    }
    return out;
}

} // namespace programmer
