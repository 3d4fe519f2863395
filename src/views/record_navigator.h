// RecordNavigatorBar: the strip under a record grid with first / previous / next / last
// buttons and the text "Record n of m" ("No records", "No current record (m records)").
// It only shows and asks; the grid moves.
#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace views {

class RecordNavigatorBar : public QWidget {
    Q_OBJECT
public:
    explicit RecordNavigatorBar(QWidget* parent = nullptr);
    // current 0 (no current record) shows "No current record (m records)", with "first" and
    // "previous" disabled; "next" then goes to the first record.
    void Show(int current, int count);
    QString Text() const;

signals:
    void First();
    void Previous();
    void Next();
    void Last();

private:
    QLabel* m_label;
    QToolButton* m_first;
    QToolButton* m_previous;
    QToolButton* m_next;
    QToolButton* m_last;
};

}  // namespace views
