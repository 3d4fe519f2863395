#include "views/frm_showfields.h"

#include "ui_frm_showfields.h"
#include "views/grid_view_model.h"

namespace views {

namespace {
constexpr int kIndexRole = Qt::UserRole;

void Append(QListWidget* list, const GridColumn& column) {
    auto* entry = new QListWidgetItem(QString::fromStdString(column.Caption()), list);
    entry->setData(kIndexRole, int{column.Index()});
}

// Selects the entry at a place; nothing when there is none.
void SelectAt(QListWidget* list, int place) {
    if (place < 0 || place >= list->count()) return;
    list->setCurrentRow(place);
}
}  // namespace

frmShowfields::frmShowfields(QWidget* parent)
    : ViewDialog(parent, kHelpContext), m_ui(std::make_unique<Ui::frmShowfields>()) {
    m_ui->setupUi(this);
    for (QListWidget* list : {m_ui->lstAvail, m_ui->lstVisible})
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(m_ui->cmdRemove, &QPushButton::clicked, this, [this] { cmdRemove_Click(); });
    connect(m_ui->cmdUp, &QPushButton::clicked, this, [this] { cmdUp_Click(); });
    connect(m_ui->cmdDown, &QPushButton::clicked, this, [this] { cmdDown_Click(); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(m_ui->lstAvail, &QListWidget::itemDoubleClicked, this, [this] { cmdAdd_Click(); });
    connect(m_ui->lstVisible, &QListWidget::itemDoubleClicked, this, [this] { cmdRemove_Click(); });
    // A click in the shown list updates the buttons; one in the available list does not.
    connect(m_ui->lstVisible, &QListWidget::itemClicked, this, [this] { UpdateButtons(); });
}

frmShowfields::~frmShowfields() = default;

QListWidget* frmShowfields::lstAvail() const { return m_ui->lstAvail; }
QListWidget* frmShowfields::lstVisible() const { return m_ui->lstVisible; }
QPushButton* frmShowfields::cmdAdd() const { return m_ui->cmdAdd; }
QPushButton* frmShowfields::cmdRemove() const { return m_ui->cmdRemove; }
QPushButton* frmShowfields::cmdUp() const { return m_ui->cmdUp; }
QPushButton* frmShowfields::cmdDown() const { return m_ui->cmdDown; }

bool frmShowfields::ShowFields(GridViewModel& grid) {
    m_ok = false;
    m_ui->lstAvail->clear();
    m_ui->lstVisible->clear();
    for (int position = 1; position <= grid.Columns().Count(); ++position) {
        const GridColumn& column = grid.Columns().ItemByPosition(position);
        Append(column.Visible() ? m_ui->lstVisible : m_ui->lstAvail, column);
    }
    SelectAt(m_ui->lstAvail, 0);
    SelectAt(m_ui->lstVisible, 0);
    UpdateButtons();

    FitToContents();
    exec();
    if (!m_ok) return false;

    // Hidden first, then the shown ones in list order; a column that cannot be found or set
    // is skipped and the others are still set.
    for (int place = 0; place < m_ui->lstAvail->count(); ++place) {
        try {
            grid.Columns().Item(m_ui->lstAvail->item(place)->data(kIndexRole).toInt()).SetVisible(false);
        } catch (...) {
        }
    }
    for (int place = 0; place < m_ui->lstVisible->count(); ++place) {
        try {
            GridColumn& column = grid.Columns().Item(m_ui->lstVisible->item(place)->data(kIndexRole).toInt());
            column.SetVisible(true);
            column.SetColPosition(static_cast<int16_t>(place + 1));
        } catch (...) {
        }
    }
    return true;
}

void frmShowfields::MoveAcross(QListWidget* from, QListWidget* to) {
    from->setFocus();
    const int place = from->currentRow();
    if (place < 0 || !from->currentItem()->isSelected()) return;
    QListWidgetItem* moved = from->takeItem(place);
    to->addItem(moved);
    // The entry that took the moved one's place is selected, or the one above it.
    if (from->count() == 0) from->setCurrentRow(-1);
    else from->setCurrentRow(place < from->count() ? place : place - 1);
    to->setCurrentItem(moved);
    UpdateButtons();
}

void frmShowfields::cmdAdd_Click() { MoveAcross(m_ui->lstAvail, m_ui->lstVisible); }
void frmShowfields::cmdRemove_Click() { MoveAcross(m_ui->lstVisible, m_ui->lstAvail); }

void frmShowfields::MoveWithin(int step) {
    QListWidget* list = m_ui->lstVisible;
    const int place = list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
    const int target = place + step;
    if (place < 0 || target < 0 || target >= list->count()) return;
    QListWidgetItem* moved = list->takeItem(place);
    list->insertItem(target, moved);
    list->setCurrentItem(moved);
    list->setFocus();
    UpdateButtons();
}

void frmShowfields::cmdUp_Click() { MoveWithin(-1); }
void frmShowfields::cmdDown_Click() { MoveWithin(1); }

void frmShowfields::UpdateButtons() {
    const auto selectedPlace = [](const QListWidget* list) {
        return list->currentItem() && list->currentItem()->isSelected() ? list->currentRow() : -1;
    };
    const int avail = selectedPlace(m_ui->lstAvail);
    const int shown = selectedPlace(m_ui->lstVisible);
    m_ui->cmdAdd->setEnabled(avail >= 0);
    m_ui->cmdRemove->setEnabled(shown >= 0);
    m_ui->cmdUp->setEnabled(shown > 0);
    m_ui->cmdDown->setEnabled(shown < m_ui->lstVisible->count() - 1);
}

void frmShowfields::cmdOK_Click() {
    m_ok = true;
    accept();
}

void frmShowfields::cmdCancel_Click() { reject(); }

}  // namespace views
