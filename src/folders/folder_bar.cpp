#include "folders/folder_bar.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "folders/folder_bar_delegate.h"

namespace folders {

namespace {

// A small icon for an item: the heading gets the computer, folders and sub-folders folders.
QIcon IconFor(const QStyle* style, int indent) {
    if (indent <= 0) return style->standardIcon(QStyle::SP_ComputerIcon);
    if (indent == 1) return style->standardIcon(QStyle::SP_DirIcon);
    return style->standardIcon(QStyle::SP_DirOpenIcon);
}

}  // namespace

FolderBar::FolderBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_caption = new QLabel(tr("Folder List"), this);
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Raised);
    m_caption->setMargin(3);
    QFont captionFont = m_caption->font();
    captionFont.setBold(true);
    m_caption->setFont(captionFont);
    layout->addWidget(m_caption);

    m_list = new QListWidget(this);
    m_list->setItemDelegate(new FolderBarDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(16, 16));
    m_list->setUniformItemSizes(false);
    layout->addWidget(m_list, 1);

    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_rebuilding && row >= 0) m_model.SetCurrent(row + 1);
    });
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { OnRowActivated(m_list->row(item)); });
    m_list->installEventFilter(this);

    m_model.SetOnChanged([this] { Rebuild(); });
}

QString FolderBar::Caption() const { return m_caption->text(); }

bool FolderBar::SelectItem(const std::string& key) {
    if (!m_model.MarkSelected(key)) return false;
    emit ItemClick(*m_model.Selected());
    return true;
}

void FolderBar::OnRowActivated(int row) {
    if (row < 0 || row >= m_model.Count()) return;
    m_model.MarkSelected(row + 1);
    emit ItemClick(m_model.Item(row + 1));
}

bool FolderBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnRowActivated(m_list->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool FolderBar::SameRows() const {
    if (m_list->count() != m_model.Count()) return false;
    for (int row = 0; row < m_list->count(); ++row) {
        const FolderBarItem& barItem = m_model.Items()[static_cast<size_t>(row)];
        const QListWidgetItem* item = m_list->item(row);
        if (item->text() != QString::fromStdString(barItem.Caption) ||
            item->data(kIndentRole).toInt() != barItem.Indent)
            return false;
    }
    return true;
}

void FolderBar::Rebuild() {
    m_rebuilding = true;
    if (!SameRows()) {
        m_list->clear();
        for (const FolderBarItem& barItem : m_model.Items()) {
            auto* item = new QListWidgetItem(IconFor(style(), barItem.Indent), QString::fromStdString(barItem.Caption));
            item->setData(kIndentRole, barItem.Indent);
            item->setToolTip(QString::fromStdString(barItem.Caption));
            m_list->addItem(item);
        }
    }
    if (m_model.CurrentPosition() > 0 && m_list->currentRow() != m_model.CurrentPosition() - 1)
        m_list->setCurrentRow(m_model.CurrentPosition() - 1, QItemSelectionModel::NoUpdate);
    for (int row = 0; row < m_list->count(); ++row) {
        const bool selected = row == m_model.SelectedPosition() - 1;
        if (m_list->item(row)->isSelected() != selected) m_list->item(row)->setSelected(selected);
    }
    m_rebuilding = false;
}

}  // namespace folders
