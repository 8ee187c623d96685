#pragma once
// A list of places in a program: the errors of the last Check Rule with their reasons, the
// places a text was found, or the uses of a name. A click, or stepping with F8 / Shift+F8, asks
// for the place to be shown.

#include "programmer/GridLayout.h"

#include <QTreeWidget>

#include <vector>

namespace programmer {

struct ListedPlace {
    GridTarget target; // Kind::None: the program as a whole
    QString what;
};

class PlaceList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit PlaceList(QWidget* parent = nullptr);
    void setPlaces(const QString& whatHeader, const std::vector<ListedPlace>& places);
    int count() const { return static_cast<int>(places_.size()); }
    // Selects the next (or previous) place, round the end, and asks for it to be shown.
    void step(bool forward);

  signals:
    void goTo(const GridTarget& t);

  private:
    void chosen(QTreeWidgetItem* item);
    std::vector<ListedPlace> places_;
};

} // namespace programmer
