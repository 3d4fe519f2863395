// GridPopup: the main window's popup menu of view commands on the patient grid (mnuPopGrid,
// never in a menu bar). A right button released over the grid's rows opens it at the pointer;
// other buttons do nothing. Entries: "Show Fields...", "Sort...", "Group By...", "Format
// View..." (each opens its modal dialog centred on the screen, on the grid), "Expand/Collapse
// Groups" with "Collapse All" and "Expand All", and after a separator "View Summary...".
// Every handler ignores errors: a failing step is skipped.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace views {
class RecordGrid;
}  // namespace views

namespace app {

class GridPopup : public QObject {
    Q_OBJECT
public:
    // window: the main window, which owns the menu and the dialogs; helpFile: the help file
    // the dialogs open with F1 (read each time one opens).
    GridPopup(QWidget* window, std::function<std::string()> helpFile);

    // Shows the menu for this grid from now on (the previous grid is let go).
    void Attach(views::RecordGrid* grid);

    QMenu* mnuPopGrid() const { return m_menu; }
    QAction* mnuPopShow() const { return m_show; }
    QAction* mnuPopSort() const { return m_sort; }
    QAction* mnuPopGroupBy() const { return m_groupBy; }
    QAction* mnuPopFormatView() const { return m_formatView; }
    QMenu* mnuPopExCol() const { return m_exCol; }
    QAction* mnuPopColAll() const { return m_colAll; }
    QAction* mnuPopExAll() const { return m_exAll; }
    QAction* mnuPopSummary() const { return m_summary; }

    // The grid's mouse-button event: button 2 (right) opens the menu at (x, y) of the grid.
    void Grid_MouseUp(int button, int shift, int x, int y);
    void mnuPopShow_Click();
    void mnuPopSort_Click();
    void mnuPopGroupBy_Click();
    void mnuPopFormatView_Click();
    void mnuPopColAll_Click();
    void mnuPopExAll_Click();
    void mnuPopSummary_Click();

private:
    // Runs one handler step; an error skips it.
    void Guarded(const std::function<void()>& step);
    // Gives a view dialog its help file, centres it and runs it on the grid.
    template <typename Dialog, typename Run>
    void OpenCentred(Run run);

    QWidget* m_window;
    std::function<std::string()> m_helpFile;
    QPointer<views::RecordGrid> m_grid;
    QMetaObject::Connection m_mouseUp;
    QMenu* m_menu;
    QAction* m_show;
    QAction* m_sort;
    QAction* m_groupBy;
    QAction* m_formatView;
    QMenu* m_exCol;
    QAction* m_colAll;
    QAction* m_exAll;
    QAction* m_summary;
};

}  // namespace app
