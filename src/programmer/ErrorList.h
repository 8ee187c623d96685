#pragma once
// The list of errors of the last Check Rule: line, cell and the reason in words. A click, or
// stepping with F8 / Shift+F8, asks for the place to be shown.

#include "behaviour/RuleChecker.h"

#include <QTreeWidget>

#include <vector>

namespace programmer {

class ErrorList : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ErrorList(QWidget* parent = nullptr);
    void setProblems(const std::vector<behaviour::CheckProblem>& problems);
    const std::vector<behaviour::CheckProblem>& problems() const { return problems_; }
    // Selects the next (or previous) error, round the end, and asks for it to be shown.
    void step(bool forward);

  signals:
    void goTo(int line, int cell);

  private:
    void chosen(QTreeWidgetItem* item);
    std::vector<behaviour::CheckProblem> problems_;
};

} // namespace programmer
