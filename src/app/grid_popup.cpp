#include "app/grid_popup.h"

#include <QMenu>

#include "views/format_dialog_hook.h"
#include "views/frm_group_by.h"
#include "views/frm_showfields.h"
#include "views/frm_sort.h"
#include "views/frm_summary.h"
#include "views/record_grid.h"

namespace app {

namespace {
QAction* Entry(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}
}  // namespace

GridPopup::GridPopup(QWidget* window, std::function<std::string()> helpFile)
    : QObject(window), m_window(window), m_helpFile(std::move(helpFile)) {
    m_menu = new QMenu(window);
    m_menu->setObjectName("mnuPopGrid");
    m_show = Entry(m_menu, "mnuPopShow", "Show Fields...");
    m_sort = Entry(m_menu, "mnuPopSort", "Sort...");
    m_groupBy = Entry(m_menu, "mnuPopGroupBy", "Group By...");
    m_formatView = Entry(m_menu, "mnuPopFormatView", "Format View...");
    m_exCol = m_menu->addMenu("Expand/Collapse Groups");
    m_exCol->setObjectName("mnuPopExCol");
    m_exCol->menuAction()->setObjectName("mnuPopExCol");
    m_colAll = Entry(m_exCol, "mnuPopColAll", "Collapse All");
    m_exAll = Entry(m_exCol, "mnuPopExAll", "Expand All");
    m_menu->addSeparator();
    m_summary = Entry(m_menu, "mnuPopSummary", "View Summary...");

    connect(m_show, &QAction::triggered, this, [this] { mnuPopShow_Click(); });
    connect(m_sort, &QAction::triggered, this, [this] { mnuPopSort_Click(); });
    connect(m_groupBy, &QAction::triggered, this, [this] { mnuPopGroupBy_Click(); });
    connect(m_formatView, &QAction::triggered, this, [this] { mnuPopFormatView_Click(); });
    connect(m_colAll, &QAction::triggered, this, [this] { mnuPopColAll_Click(); });
    connect(m_exAll, &QAction::triggered, this, [this] { mnuPopExAll_Click(); });
    connect(m_summary, &QAction::triggered, this, [this] { mnuPopSummary_Click(); });
}

void GridPopup::Attach(views::RecordGrid* grid) {
    disconnect(m_mouseUp);
    m_grid = grid;
    if (grid) m_mouseUp = connect(grid, &views::RecordGrid::MouseUp, this, &GridPopup::Grid_MouseUp);
}

void GridPopup::Guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (...) {
        // The menu's commands ignore errors: the step is skipped.
    }
}

void GridPopup::Grid_MouseUp(int button, int, int x, int y) {
    if (button != 2 || !m_grid) return;
    Guarded([&] { m_menu->popup(m_grid->mapToGlobal(QPoint(x, y))); });
}

template <typename Dialog, typename Run>
void GridPopup::OpenCentred(Run run) {
    if (!m_grid) return;
    Guarded([&] {
        views::SetViewHelpFile(m_helpFile ? m_helpFile() : std::string());
        Dialog dialog(m_window);
        dialog.CentreOnScreen();
        run(dialog, *m_grid);
    });
}

void GridPopup::mnuPopShow_Click() {
    OpenCentred<views::frmShowfields>([](views::frmShowfields& d, views::RecordGrid& g) { d.ShowFields(g); });
}
void GridPopup::mnuPopSort_Click() {
    OpenCentred<views::frmSort>([](views::frmSort& d, views::RecordGrid& g) { d.SortGrid(g); });
}
void GridPopup::mnuPopGroupBy_Click() {
    OpenCentred<views::frmGroupBy>([](views::frmGroupBy& d, views::RecordGrid& g) { d.GroupGrid(g); });
}
void GridPopup::mnuPopSummary_Click() {
    OpenCentred<views::frmSummary>([](views::frmSummary& d, views::RecordGrid& g) { d.ShowSummary(g); });
}

void GridPopup::mnuPopFormatView_Click() {
    if (!m_grid) return;
    Guarded([&] {
        views::SetViewHelpFile(m_helpFile ? m_helpFile() : std::string());
        views::FormatDialogRequest request;
        request.grid = m_grid.data();
        request.cards = false;  // the table view format dialog, even when the grid shows cards
        request.parent = m_window;
        views::OpenFormatDialog(request);
    });
}

void GridPopup::mnuPopColAll_Click() {
    if (m_grid) Guarded([&] { m_grid->CollapseAll(); });
}
void GridPopup::mnuPopExAll_Click() {
    if (m_grid) Guarded([&] { m_grid->ExpandAll(); });
}

}  // namespace app
