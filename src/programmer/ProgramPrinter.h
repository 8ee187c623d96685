#pragma once
// Puts a program on paper (a printer or a PDF) or into page pictures, as it looks in the grid:
// the lines in use, as many to a page as fit the page's width, with the file name and
// "Page n of m" above each page.

#include <QImage>
#include <QString>

class QPagedPaintDevice;

namespace programmer {

class CGridCtrl;

class ProgramPrinter {
  public:
    // `grid` gives the look (its model, delegate and font); `title` heads every page.
    ProgramPrinter(const CGridCtrl& grid, const QString& title);

    // The lines printed: up to the last one holding anything, at least one.
    int lineCount() const { return lines_; }
    // Pages for a page of `pageWidth` x `pageHeight` device pixels.
    int pageCount(int pageWidth, int pageHeight) const;
    // Prints every page; the number of pages, 0 when the device could not be painted on.
    int print(QPagedPaintDevice& device) const;
    // One picture per page, A4 at `dpi`.
    std::vector<QImage> pictures(int dpi) const;

  private:
    struct Layout {
        double scale;
        int header;       // device pixels above the lines
        int linesPerPage; // at least 1
    };
    Layout layout(int pageWidth, int pageHeight) const;
    void paintPage(QPainter& p, const Layout& l, int page, int pages, int pageWidth) const;

    const CGridCtrl& grid_;
    QString title_;
    int lines_ = 1;
};

} // namespace programmer
