#include "views/group_by_box.h"

#include "views/grid_view_model.h"
#include "views/qt_look.h"

namespace views {

GroupByBox::GroupByBox(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(true);
    setMargin(6);
}

void GroupByBox::ShowGroups(const GridViewModel& grid) {
    QString text;
    for (const GridGroup& group : grid.Groups().All()) {
        if (!text.isEmpty()) text += QStringLiteral("  >  ");
        const bool known = group.ColIndex >= 1 && group.ColIndex <= grid.Columns().Count();
        text += known ? QString::fromStdString(grid.Columns().Item(group.ColIndex).Caption()) : QStringLiteral("?");
        text += group.SortOrder == 1 ? QStringLiteral(" \u25B2") : QStringLiteral(" \u25BC");
    }
    if (text.isEmpty()) text = tr("Group by: none. Use Group By... to group the rows by a column.");
    else text = tr("Grouped by: ") + text;
    setText(text);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ToQColor(grid.BackColorGroupBy(), colours));
    colours.setColor(QPalette::WindowText, ToQColor(grid.ForeColorInfoText(), colours));
    setPalette(colours);
    setFont(ToQFont(grid.Font()));
}

}  // namespace views
