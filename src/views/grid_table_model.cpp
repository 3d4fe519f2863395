#include "views/grid_table_model.h"

#include "views/qt_look.h"
#include "views/value_text.h"

namespace views {

GridTableModel::GridTableModel(const GridViewModel& grid, QObject* parent) : QAbstractTableModel(parent), m_grid(grid) {
    ReadColumns();
}

void GridTableModel::ReadColumns() {
    m_visible = m_grid.Columns().VisibleInOrder();
    m_fields.clear();
    const auto source = m_grid.BoundRecordset();
    for (const GridColumn* column : m_visible)
        m_fields.push_back(source ? source->FieldIndex(column->DataField()) : -1);
}

void GridTableModel::BeginRowsChange() {
    if (m_resetting) return;
    m_resetting = true;
    beginResetModel();
}

void GridTableModel::EndRowsChange() {
    if (!m_resetting) BeginRowsChange();
    ReadColumns();
    m_resetting = false;
    endResetModel();
}

void GridTableModel::ColumnsChanged() {
    if (m_grid.Columns().VisibleInOrder() == m_visible) {
        ReadColumns();
        if (!m_visible.empty()) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        LookChanged();
        return;
    }
    BeginRowsChange();
    EndRowsChange();
}

void GridTableModel::LookChanged() {
    if (rowCount() > 0 && columnCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

bool GridTableModel::IsCell(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.row() < rowCount() && index.column() < columnCount();
}

int GridTableModel::ModelColumnOf(int colIndex) const {
    for (size_t i = 0; i < m_visible.size(); ++i) {
        if (m_visible[i]->Index() == colIndex) return static_cast<int>(i);
    }
    return -1;
}

int GridTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.Arrangement().DisplayCount();
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_visible.size());
}

QString GridTableModel::GroupCaption(int group) const {
    const RowArrangement& rows = m_grid.Arrangement();
    const RowArrangement::Group& g = rows.GroupAt(group);
    QString caption =
        QString(g.level * 4, QLatin1Char(' ')) + (g.collapsed ? QStringLiteral("\u25B8 ") : QStringLiteral("\u25BE "));
    const int colIndex = g.level < m_grid.Groups().Count() ? m_grid.Groups().Item(g.level + 1).ColIndex : 0;
    std::string value;
    if (colIndex >= 1 && colIndex <= m_grid.Columns().Count()) {
        const GridColumn& column = m_grid.Columns().Item(colIndex);
        caption += QString::fromStdString(column.Caption()) + QStringLiteral(": ");
        value = ValueText(m_grid.CellValue(g.first + 1, colIndex), column.Format());
    }
    caption += QString::fromStdString(value);
    caption += g.Size() == 1 ? QStringLiteral(" (1 item)") : QStringLiteral(" (%1 items)").arg(g.Size());
    return caption;
}

QString GridTableModel::CellText(int row, int modelColumn) const {
    const RowArrangement& rows = m_grid.Arrangement();
    if (rows.IsGroupRow(row)) return modelColumn == 0 ? GroupCaption(rows.GroupOfDisplay(row)) : QString();
    const int field = m_fields[modelColumn];
    if (field < 0) return {};
    const int sourceRow = rows.SourceRow(rows.OrdinalOfDisplay(row));
    return QString::fromStdString(
        ValueText(m_grid.BoundRecordset()->Value(sourceRow, field), m_visible[modelColumn]->Format()));
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (!IsCell(index)) return {};
    const RowArrangement& rows = m_grid.Arrangement();
    const bool group = rows.IsGroupRow(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole: return CellText(index.row(), index.column());
        case Qt::BackgroundRole: {
            if (group) return ToQColor(m_grid.BackColorGroupRows(), m_palette);
            if (!m_grid.UseEvenOddColor()) return ToQColor(m_grid.BackColor(), m_palette);
            const bool odd = index.row() % 2 == 0;  // the first row is row 1, an odd row
            return ToQColor(odd ? m_grid.OddRowsColor() : m_grid.EvenRowsColor(), m_palette);
        }
        case Qt::ForegroundRole: return ToQColor(group ? m_grid.ForeColorGroupRows() : m_grid.ForeColor(), m_palette);
        case Qt::FontRole: {
            QFont font = ToQFont(m_grid.Font());
            if (group) font.setBold(true);
            return font;
        }
        case Qt::TextAlignmentRole: {
            if (group || m_fields[index.column()] < 0) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
            const int sourceRow = rows.SourceRow(rows.OrdinalOfDisplay(index.row()));
            const bool numeric = IsNumericValue(m_grid.BoundRecordset()->Value(sourceRow, m_fields[index.column()]));
            return QVariant((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        }
        case RowIndexRole:
            return group ? -rows.GroupOfDisplay(index.row()) - 1 : rows.OrdinalOfDisplay(index.row()) + 1;
        case IsGroupRole: return group;
        default: return {};
    }
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (section < 0 || section >= columnCount()) return {};
    switch (role) {
        case Qt::DisplayRole: return QString::fromStdString(m_visible[section]->Caption());
        case Qt::FontRole: return ToQFont(m_grid.ColumnHeaderFont());
        case Qt::ForegroundRole: return ToQColor(m_grid.ForeColorHeader(), m_palette);
        case Qt::BackgroundRole: return ToQColor(m_grid.BackColorHeader(), m_palette);
        default: return {};
    }
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
    if (!IsCell(index)) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace views
