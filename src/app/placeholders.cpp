#include "app/placeholders.h"

#include <QHeaderView>
#include <QTableWidget>

namespace app {

QWidget* MakeGridPlaceholder(QWidget* parent) {
    const QStringList captions = {"Patient Number", "Last Name",  "First Name", "MI",      "Title",
                                  "Home Phone",     "Work Phone", "SSN",        "Birthday"};
    auto* grid = new QTableWidget(0, static_cast<int>(captions.size()), parent);
    grid->setObjectName("grdPatients");
    grid->setHorizontalHeaderLabels(captions);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setAlternatingRowColors(true);
    return grid;
}

}  // namespace app
