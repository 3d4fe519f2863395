#include "views/record_navigator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace views {

namespace {
QToolButton* Button(QWidget* parent, const QString& text, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}
}  // namespace

RecordNavigatorBar::RecordNavigatorBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    m_first = Button(this, QStringLiteral("|\u25C0"), tr("First record"));
    m_previous = Button(this, QStringLiteral("\u25C0"), tr("Previous record"));
    m_label = new QLabel(this);
    m_label->setContentsMargins(6, 0, 6, 0);
    m_next = Button(this, QStringLiteral("\u25B6"), tr("Next record"));
    m_last = Button(this, QStringLiteral("\u25B6|"), tr("Last record"));
    for (QWidget* w : {static_cast<QWidget*>(m_first), static_cast<QWidget*>(m_previous),
                       static_cast<QWidget*>(m_label), static_cast<QWidget*>(m_next), static_cast<QWidget*>(m_last)}) {
        layout->addWidget(w);
    }
    layout->addStretch(1);
    connect(m_first, &QToolButton::clicked, this, &RecordNavigatorBar::First);
    connect(m_previous, &QToolButton::clicked, this, &RecordNavigatorBar::Previous);
    connect(m_next, &QToolButton::clicked, this, &RecordNavigatorBar::Next);
    connect(m_last, &QToolButton::clicked, this, &RecordNavigatorBar::Last);
    Show(0, 0);
}

void RecordNavigatorBar::Show(int current, int count) {
    if (count == 0) m_label->setText(tr("No records"));
    else if (current < 1)
        m_label->setText(count == 1 ? tr("No current record (1 record)")
                                    : tr("No current record (%1 records)").arg(count));
    else m_label->setText(QStringLiteral("Record %1 of %2").arg(current).arg(count));
    m_first->setEnabled(count > 0 && current > 1);
    m_previous->setEnabled(count > 0 && current > 1);
    m_next->setEnabled(count > 0 && current < count);
    m_last->setEnabled(count > 0 && current != count);
}

QString RecordNavigatorBar::Text() const { return m_label->text(); }

}  // namespace views
