#include "views/record_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "engine/error.h"
#include "views/card_delegate.h"
#include "views/grid_table_model.h"
#include "views/frm_group_by.h"
#include "views/group_by_box.h"
#include "views/group_expander.h"
#include "views/header_drag.h"
#include "views/qt_look.h"
#include "views/record_navigator.h"

namespace views {

namespace {
// Spans make group rows read across the table; past this many they cost more than they give.
constexpr int kMaxSpannedGroups = 20000;

QString ColorName(OleColor color, const QPalette& palette) { return ToQColor(color, palette).name(); }

// The header order that draws the desktop's arrow for a sort order (1 ascending): an upward
// arrow for ascending. Qt's header turns Qt::AscendingOrder into the style's "sort down"
// indicator, which Qt's own Linux styles draw pointing down, so the orders are swapped here.
Qt::SortOrder HeaderIndicatorOrder(int sortOrder) { return sortOrder < 0 ? Qt::AscendingOrder : Qt::DescendingOrder; }
}  // namespace

const SelectedRowList::Entry& SelectedRowList::Item(int i) const {
    if (i < 1 || i > Count()) {
        throw engine::Error(engine::err::kItemNotFound, "Selected row " + std::to_string(i) + " does not exist.");
    }
    return m_entries[i - 1];
}

RecordGrid::RecordGrid(QWidget* parent) : QWidget(parent) {
    m_model = new GridTableModel(*this, this);
    m_model->SetPalette(palette());

    m_groupBox = new GroupByBox(this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setCornerButtonEnabled(false);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_table->verticalHeader()->setFixedWidth(14);

    m_cards = new QListView(this);
    m_cards->setModel(m_model);
    m_cards->setSelectionModel(m_table->selectionModel());
    m_cards->setViewMode(QListView::IconMode);
    m_cards->setFlow(QListView::LeftToRight);
    m_cards->setWrapping(true);
    m_cards->setResizeMode(QListView::Adjust);
    m_cards->setMovement(QListView::Static);
    m_cards->setUniformItemSizes(true);
    m_cards->setLayoutMode(QListView::Batched);
    m_cards->setBatchSize(500);
    m_cards->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cardDelegate = new CardDelegate(*this, *m_model, this);
    m_cards->setItemDelegate(m_cardDelegate);

    m_navigator = new RecordNavigatorBar(this);

    auto* stack = new QWidget(this);
    auto* stackLayout = new QStackedLayout(stack);
    stackLayout->addWidget(m_table);
    stackLayout->addWidget(m_cards);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_groupBox);
    layout->addWidget(stack, 1);
    layout->addWidget(m_navigator);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_table), static_cast<QAbstractItemView*>(m_cards)}) {
        view->viewport()->installEventFilter(this);
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::clicked, this, &RecordGrid::Click);
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.data(GridTableModel::IsGroupRole).toBool()) ToggleGroupAt(index.row(), -1);
            emit DblClick();
        });
    }
    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { UpdateNavigator(); });
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, &RecordGrid::SortByHeader);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_applying || section >= m_model->columnCount()) return;
        const int colIndex = m_model->ColumnAt(section)->Index();
        m_applying = true;
        Columns().Item(colIndex).SetWidth(PixelsToTwips(size));
        m_applying = false;
    });
    // Rows are all one height: dragging one row sets the height of every row.
    connect(m_table->verticalHeader(), &QHeaderView::sectionResized, this, [this](int, int, int size) {
        if (m_applying || !AllowRowSizing()) return;
        m_applying = true;
        SetRowHeight(PixelsToTwips(size));
        m_applying = false;
    });
    new HeaderDrag(m_table->horizontalHeader(), [this](int section) {
        return section >= 0 && section < m_model->columnCount() ? int{m_model->ColumnAt(section)->Index()} : 0;
    });
    connect(m_groupBox, &GroupByBox::GroupByRequested, this, [this] {
        frmGroupBy dialog(window());
        dialog.CentreOnScreen();
        dialog.GroupGrid(*this);
    });
    connect(m_groupBox, &GroupByBox::ColumnDropped, this, &RecordGrid::AddGroupLevel);
    connect(m_navigator, &RecordNavigatorBar::First, this, [this] { MoveToRecord(-2); });
    connect(m_navigator, &RecordNavigatorBar::Previous, this, [this] { MoveToRecord(-1); });
    connect(m_navigator, &RecordNavigatorBar::Next, this, [this] { MoveToRecord(1); });
    connect(m_navigator, &RecordNavigatorBar::Last, this, [this] { MoveToRecord(2); });

    ApplyColumns();
    ApplyLook();
}

RecordGrid::~RecordGrid() {
    // The model reads this object's view model; take it out of the views first.
    m_cards->setModel(nullptr);
    m_table->setModel(nullptr);
}

void RecordGrid::RowsAboutToChange() { m_model->BeginRowsChange(); }

void RecordGrid::Changed(Change what) {
    switch (what) {
        case Change::Rows:
            m_model->EndRowsChange();
            ApplyColumns();
            ApplySpans();
            UpdateNavigator();
            m_groupBox->ShowGroups(*this);
            break;
        case Change::Columns:
            m_model->ColumnsChanged();
            ApplyColumns();
            ApplySpans();
            m_groupBox->ShowGroups(*this);
            break;
        case Change::Look:
            ApplyLook();
            m_model->LookChanged();
            break;
    }
}

void RecordGrid::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_applying) {
        m_model->SetPalette(palette());
        ApplyLook();
    }
}

void RecordGrid::ApplyColumns() {
    if (m_applying) return;
    m_applying = true;
    QHeaderView* header = m_table->horizontalHeader();
    for (int section = 0; section < m_model->columnCount(); ++section) {
        header->resizeSection(section, std::max(8, TwipsToPixels(m_model->ColumnAt(section)->Width())));
    }
    int sortSection = -1;
    if (SortKeys().Count() > 0) sortSection = m_model->ModelColumnOf(SortKeys().Item(1).ColIndex);
    header->setSortIndicatorShown(sortSection >= 0);
    if (sortSection >= 0) header->setSortIndicator(sortSection, HeaderIndicatorOrder(SortKeys().Item(1).SortOrder));
    m_applying = false;
}

void RecordGrid::ApplySpans() {
    m_table->clearSpans();
    const RowArrangement& rows = Arrangement();
    // Cards show records only; the group rows stay in the table.
    for (int display = 0; rows.GroupCount() > 0 && display < rows.DisplayCount(); ++display) {
        if (rows.IsGroupRow(display)) m_cards->setRowHidden(display, true);
    }
    if (m_model->columnCount() < 2 || rows.GroupCount() == 0 || rows.GroupCount() > kMaxSpannedGroups) return;
    for (int display = 0; display < rows.DisplayCount(); ++display) {
        if (rows.IsGroupRow(display)) m_table->setSpan(display, 0, 1, m_model->columnCount());
    }
}

void RecordGrid::ApplyLook() {
    const QPalette& base = palette();
    m_model->SetPalette(base);
    const QFont rowFont = ToQFont(Font());
    const QFont headerFont = ToQFont(ColumnHeaderFont());
    m_table->setFont(rowFont);
    m_table->horizontalHeader()->setFont(headerFont);
    m_table->setShowGrid(GridLines() != 0);
    const QString tableStyle =
        (QStringLiteral("QTableView { gridline-color: %1; background-color: %2; }"
                        "QHeaderView::section { background-color: %3; color: %4; padding: 1px 3px;"
                        " border: 0px; border-right: 1px solid %1; border-bottom: 1px solid %1; }"
                        "QHeaderView::section:vertical { background-color: %5; }")
             .arg(ColorName(GridLinesColor(), base), ColorName(BackColorNonCellArea(), base),
                  ColorName(BackColorHeader(), base), ColorName(ForeColorHeader(), base),
                  ColorName(MaskColor(), base)));
    if (m_table->styleSheet() != tableStyle) m_table->setStyleSheet(tableStyle);
    const QString cardStyle =
        QStringLiteral("QListView { background-color: %1; }").arg(ColorName(BackColorNonCellArea(), base));
    if (m_cards->styleSheet() != cardStyle) m_cards->setStyleSheet(cardStyle);

    const int rowHeight = RowHeight() > 0 ? TwipsToPixels(RowHeight()) : QFontMetrics(rowFont).height() + 6;
    QHeaderView* rows = m_table->verticalHeader();
    const bool applying = std::exchange(m_applying, true);  // the rows resized here are not the user's
    rows->setMinimumSectionSize(std::min(rowHeight, 8));
    rows->setDefaultSectionSize(rowHeight);
    rows->setSectionResizeMode(AllowRowSizing() ? QHeaderView::Interactive : QHeaderView::Fixed);
    m_applying = applying;
    const int headerHeight =
        ColumnHeaderHeight() > 0 ? TwipsToPixels(ColumnHeaderHeight()) : QFontMetrics(headerFont).height() + 6;
    m_table->horizontalHeader()->setFixedHeight(std::max(headerHeight, QFontMetrics(headerFont).height() + 2));

    const auto mode = MultiSelect() ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    m_table->setSelectionMode(mode);
    m_cards->setSelectionMode(mode);

    qobject_cast<QStackedLayout*>(m_table->parentWidget()->layout())->setCurrentIndex(View() == 1 ? 1 : 0);
    if (View() == 1) m_cards->doItemsLayout();
    m_groupBox->setVisible(GroupByBoxVisible() && View() != 1);
    m_groupBox->ShowGroups(*this);
    m_navigator->setVisible(RecordNavigator());
    QPalette info = m_navigator->palette();  // the navigator strip is the grid's info text
    info.setColor(QPalette::Window, ToQColor(BackColorInfoText(), base));
    info.setColor(QPalette::WindowText, ToQColor(ForeColorInfoText(), base));
    info.setColor(QPalette::ButtonText, ToQColor(ForeColorInfoText(), base));
    m_navigator->setAutoFillBackground(true);
    m_navigator->setPalette(info);
    UpdateNavigator();
}

int RecordGrid::CurrentRowIndex() const {
    const QModelIndex current = m_table->currentIndex();
    return current.isValid() ? current.data(GridTableModel::RowIndexRole).toInt() : 0;
}

void RecordGrid::UpdateNavigator() {
    const int rowIndex = CurrentRowIndex();
    m_navigator->Show(std::max(rowIndex, 0), RowCount());
}

QString RecordGrid::NavigatorText() const { return m_navigator->Text(); }

void RecordGrid::MoveCurrent(int display) {
    const QModelIndex index = m_model->index(display, 0);
    if (!index.isValid()) return;
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollTo(index);
    m_cards->scrollTo(index);
}

// step -2 first, -1 previous, 1 next, 2 last record.
void RecordGrid::MoveToRecord(int step) {
    if (RowCount() == 0) return;
    int ordinal = 0;
    const int current = CurrentRowIndex();
    if (step == 2) ordinal = RowCount() - 1;
    else if (step == -1) ordinal = std::max(0, (current >= 1 ? current : 1) - 2);
    else if (step == 1) ordinal = current >= 1 ? std::min(RowCount() - 1, current) : 0;
    MoveToBookmark(RowBookmark(ordinal + 1));
}

void RecordGrid::MoveToBookmark(Bookmark bookmark) {
    const int rowIndex = RowIndexOfBookmark(bookmark);
    if (rowIndex < 1) {
        throw engine::Error(engine::err::kBadArgument,
                            "No row shows the record with bookmark " + std::to_string(bookmark) + ".");
    }
    if (Arrangement().DisplayOfOrdinal(rowIndex - 1) < 0) {
        RevealRow(rowIndex);
    }
    MoveCurrent(Arrangement().DisplayOfOrdinal(rowIndex - 1));
}

SelectedRowList RecordGrid::SelectedRows() const {
    std::vector<SelectedRowList::Entry> entries;
    QModelIndexList rows = m_table->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        entries.push_back({index.data(GridTableModel::RowIndexRole).toInt(), index.row() + 1});
    }
    return SelectedRowList(std::move(entries));
}

void RecordGrid::SetRowSelected(int position, bool selected) {
    const QModelIndex index = m_model->index(position - 1, 0);
    if (!index.isValid()) return;
    m_table->selectionModel()->select(
        index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

void RecordGrid::ToggleGroupAt(int display, int collapse) {
    const RowArrangement& rows = Arrangement();
    if (display < 0 || display >= rows.DisplayCount() || !rows.IsGroupRow(display)) return;
    const int group = rows.GroupOfDisplay(display);
    const bool collapsed = collapse < 0 ? !rows.GroupAt(group).collapsed : collapse != 0;
    SetGroupCollapsed(group, collapsed);
    MoveCurrent(Arrangement().DisplayOfGroup(group));
}

void RecordGrid::AddGroupLevel(int colIndex) {
    if (colIndex < 1 || colIndex > Columns().Count()) return;
    Groups().Add(static_cast<int16_t>(colIndex), 1);
    Regroup(false);
}

void RecordGrid::SortByHeader(int section) {
    if (section < 0 || section >= m_model->columnCount()) return;
    const int16_t colIndex = m_model->ColumnAt(section)->Index();
    int order = 1;
    if (SortKeys().Count() > 0 && SortKeys().Item(1).ColIndex == colIndex) order = -SortKeys().Item(1).SortOrder;
    SortKeys().Clear();
    SortKeys().Add(colIndex, order);
    Resort();
}

// A right press keeps a selection that holds the row under the pointer, and otherwise
// selects that row alone; the view's own handling would select the one row every time.
void RecordGrid::RightPressAt(QAbstractItemView* view, const QPoint& at) {
    const QModelIndex index = view->indexAt(at);
    if (!index.isValid()) return;
    QItemSelectionModel* selection = m_table->selectionModel();
    if (selection->isRowSelected(index.row())) return;
    selection->setCurrentIndex(m_model->index(index.row(), 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool onRows = watched == m_table->viewport() || watched == m_cards->viewport();
    if (onRows && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        auto* view = watched == m_table->viewport() ? static_cast<QAbstractItemView*>(m_table) : m_cards;
        RightPressAt(view, static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    }
    if (watched == m_table->viewport() &&
        (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        const QModelIndex index = m_table->indexAt(at);
        if (IsOnGroupExpander(*m_table, index, at)) {
            // Each click on the expander toggles the group once, so a double click there is
            // just its two clicks (not a third toggle by the double-click handler).
            if (event->type() == QEvent::MouseButtonDblClick) return true;
            ToggleGroupAt(index.row(), -1);
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && onRows) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        int button = 0;
        if (mouse->button() == Qt::LeftButton) button = 1;
        else if (mouse->button() == Qt::RightButton) button = 2;
        else if (mouse->button() == Qt::MiddleButton) button = 4;
        int shift = 0;
        if (mouse->modifiers() & Qt::ShiftModifier) shift |= 1;
        if (mouse->modifiers() & Qt::ControlModifier) shift |= 2;
        if (mouse->modifiers() & Qt::AltModifier) shift |= 4;
        const QPoint at = static_cast<QWidget*>(watched)->mapTo(this, mouse->position().toPoint());
        emit MouseUp(button, shift, at.x(), at.y());
        // The view has no use for a right release (its press was taken above).
        if (button == 2) return true;
    } else if (event->type() == QEvent::KeyPress && (watched == m_table || watched == m_cards)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = m_table->currentIndex();
        if (current.isValid() && current.data(GridTableModel::IsGroupRole).toBool()) {
            if (key->key() == Qt::Key_Plus || key->key() == Qt::Key_Right) return ToggleGroupAt(current.row(), 0), true;
            if (key->key() == Qt::Key_Minus || key->key() == Qt::Key_Left) return ToggleGroupAt(current.row(), 1), true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace views
