#include "views/level_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "views/grid_view_model.h"

namespace views {

namespace {
template <typename T>
T* Control(QObject* dialog, const QString& name) {
    T* control = dialog->findChild<T*>(name);
    Q_ASSERT(control);
    return control;
}
}  // namespace

LevelDialog::LevelDialog(QWidget* parent, int helpContextId, QString what)
    : ViewDialog(parent, helpContextId), m_what(std::move(what)) {}

void LevelDialog::BindControls() {
    for (int i = 0; i < kLevels; ++i) {
        m_levels[i] = Control<QComboBox>(this, QStringLiteral("cboGroups_%1").arg(i));
        connect(m_levels[i], &QComboBox::currentIndexChanged, this, [this, i] { cboGroups_Click(i); });
    }
    for (int i = 0; i < 2 * kLevels; ++i)
        m_orders[i] = Control<QRadioButton>(this, QStringLiteral("optOrder_%1").arg(i));
    m_lblTrimmed = Control<QLabel>(this, "lblTrimmed");
    connect(Control<QPushButton>(this, "cmdClearAll"), &QPushButton::clicked, this, [this] { cmdClearAll_Click(); });
    connect(Control<QPushButton>(this, "cmdOK"), &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(Control<QPushButton>(this, "cmdCancel"), &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void LevelDialog::SelectEntry(int level, int entry) {
    {
        const QSignalBlocker quiet(m_levels[level]);
        m_levels[level]->setCurrentIndex(entry);
    }
    cboGroups_Click(level);
}

void LevelDialog::cboGroups_Click(int level) {
    const bool none = m_levels[level]->currentIndex() <= 0;
    QRadioButton* ascending = m_orders[2 * level];
    QRadioButton* descending = m_orders[2 * level + 1];
    ascending->setChecked(true);
    ascending->setEnabled(!none);
    descending->setEnabled(!none);
    if (level + 1 < kLevels) {
        if (none) SelectEntry(level + 1, 0);
        m_levels[level + 1]->setEnabled(!none);
    }
}

void LevelDialog::cmdClearAll_Click() { SelectEntry(0, 0); }

void LevelDialog::cmdOK_Click() {
    m_ok = true;
    accept();
}

void LevelDialog::cmdCancel_Click() { reject(); }

void LevelDialog::FillLevels(const GridViewModel& grid, const GridGroups& keys,
                             const std::function<bool(const GridColumn&)>& offered) {
    for (QComboBox* list : m_levels) {
        const QSignalBlocker quiet(list);
        list->clear();
        list->addItem(tr("(None)"), 0);
    }
    for (int index = 1; index <= grid.Columns().Count(); ++index) {
        const GridColumn& column = grid.Columns().Item(index);
        if (!offered(column)) continue;
        for (QComboBox* list : m_levels) {
            const QSignalBlocker quiet(list);
            list->addItem(QString::fromStdString(column.Caption()), int{column.Index()});
        }
    }
    SelectEntry(0, 0);

    // Entries are found by their column's Index, not by caption: two columns may share one.
    int level = 0;
    for (const GridGroup& key : keys.All()) {
        const int entry = m_levels[0]->findData(int{key.ColIndex});
        if (level >= kLevels || entry < 0) continue;
        SelectEntry(level, entry);
        m_orders[key.SortOrder == 1 ? 2 * level : 2 * level + 1]->setChecked(true);
        ++level;
    }
    m_trimmed = level < keys.Count();
    m_shown = Chosen();
    if (m_trimmed) {
        m_lblTrimmed->setText(tr("The grid has %1 %2; the %3 shown here are those this dialog can show. "
                                 "Unless you change them, the grid keeps all %1.")
                                  .arg(keys.Count())
                                  .arg(m_what)
                                  .arg(level));
    }
    m_lblTrimmed->setVisible(m_trimmed);
    m_ok = false;
}

bool LevelDialog::RunModal() {
    FitToContents();
    exec();
    return m_ok;
}

std::array<LevelDialog::Level, LevelDialog::kLevels> LevelDialog::Chosen() const {
    std::array<Level, kLevels> chosen{};
    for (int i = 0; i < kLevels; ++i) {
        if (m_levels[i]->currentIndex() <= 0) continue;
        chosen[i].colIndex = m_levels[i]->currentData().toInt();
        chosen[i].order = m_orders[2 * i]->isChecked() ? 1 : -1;
    }
    return chosen;
}

bool LevelDialog::Differs(const GridGroups& keys) const {
    const std::array<Level, kLevels> chosen = Chosen();
    if (m_trimmed && chosen == m_shown) return false;
    for (int i = 0; i < kLevels; ++i) {
        if (chosen[i].colIndex == 0) return keys.Count() > i;
        if (keys.Count() < i + 1) return true;
        const GridGroup& key = keys.Item(i + 1);
        if (key.ColIndex != chosen[i].colIndex || key.SortOrder != chosen[i].order) return true;
    }
    return false;
}

void LevelDialog::WriteLevels(GridGroups& keys) const {
    keys.Clear();
    for (const Level& level : Chosen()) {
        if (level.colIndex != 0) keys.Add(static_cast<int16_t>(level.colIndex), level.order);
    }
}

}  // namespace views
