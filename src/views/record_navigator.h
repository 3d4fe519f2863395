// RecordNavigatorBar: the strip under a record grid with first / previous / next / last
// buttons and the text "Record n of m". It only shows and asks; the grid moves.
#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace views {

class RecordNavigatorBar : public QWidget {
    Q_OBJECT
public:
    explicit RecordNavigatorBar(QWidget* parent = nullptr);
    // current 0 shows "Record 0 of m" (no current record).
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
