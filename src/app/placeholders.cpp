#include "app/placeholders.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace app {

QWidget* MakeFolderBarPlaceholder(QWidget* parent) {
    auto* bar = new QFrame(parent);
    bar->setObjectName("suiFolders");
    bar->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* caption = new QLabel("Folder List", bar);
    caption->setAutoFillBackground(true);
    caption->setBackgroundRole(QPalette::Dark);
    caption->setForegroundRole(QPalette::BrightText);
    caption->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(caption);
    layout->addWidget(new QListWidget(bar), 1);
    return bar;
}

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
