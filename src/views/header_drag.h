// HeaderDrag: lets the user drag a column heading of a record grid's table out of the header
// (onto the group-by box, which groups by that column). A press and a move past the usual
// drag distance start the drag; a plain click still reaches the header, which sorts.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QHeaderView;
class QMimeData;

namespace views {

class HeaderDrag : public QObject {
    Q_OBJECT
public:
    // columnAt: the column Index shown in a header section (0 when none).
    HeaderDrag(QHeaderView* header, std::function<int(int section)> columnAt);

    // The drag data for a column, as the group-by box reads it.
    static QMimeData* MimeFor(int colIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHeaderView* m_header;
    std::function<int(int)> m_columnAt;
    QPoint m_pressAt;
    int m_pressedSection = -1;
};

}  // namespace views
