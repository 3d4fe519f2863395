// GroupByBox: the band above a record grid's columns that names the grouping in force
// ("Last Name (ascending) > First Name (descending)"), or invites the user to group.
#pragma once

#include <QLabel>

namespace views {

class GridViewModel;

class GroupByBox : public QLabel {
    Q_OBJECT
public:
    explicit GroupByBox(QWidget* parent = nullptr);
    // Rewrites the text and colours from the grid's groups and look.
    void ShowGroups(const GridViewModel& grid);
};

}  // namespace views
