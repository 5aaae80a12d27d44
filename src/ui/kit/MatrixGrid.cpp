#include "ui/kit/MatrixGrid.h"

#include "ui/kit/Accessibility.h"
#include "ui/kit/Theme.h"

#include <QKeyEvent>

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace sonaro::ui {

namespace {
constexpr int kFrameOutset = 10;   // sunken frame this far outside the cells
constexpr int kGuideAbove = 80;    // guide line above the grid's top edge
constexpr int kTickEndAbove = 50;  // column ticks run down to here
constexpr int kTitleAbove = 112;   // baseline area of the columns title
constexpr int kRowLabelSpace = 96; // right of the frame: row labels and the rows title
constexpr int kLegendSpace = 56;   // below the frame
constexpr int kLegendSwatch = 18;
constexpr int kOuterMargin = 12;
constexpr int kOnGlowAlpha = 90;
} // namespace

MatrixGrid::MatrixGrid(QWidget* parent) : QWidget(parent)
{
    m_on.fill(false, m_columns * m_rows);
    for (int i = 0; i < m_rows; ++i)
        m_rowLabels << QStringLiteral("M%1").arg(i + 1);
    for (int i = 0; i < m_columns; ++i)
        m_columnLabels << QString();
    setFocusPolicy(Qt::StrongFocus);
    installKitAccessibility();
}

void MatrixGrid::setCurrentCell(MatrixCell cell)
{
    cell.column = std::clamp(cell.column, 0, m_columns - 1);
    cell.row = std::clamp(cell.row, 0, m_rows - 1);
    if (cell == m_current) return;
    m_current = cell;
    update();
    emit currentCellChanged(cell);
}

void MatrixGrid::toggle(MatrixCell cell)
{
    if (!valid(cell)) return;
    const bool on = !isOn(cell);
    setOn(cell, on);
    emit cellToggled(cell, on);
}

void MatrixGrid::setCellNamer(std::function<QString(MatrixCell)> namer)
{
    m_namer = std::move(namer);
}

QString MatrixGrid::cellName(MatrixCell cell) const
{
    if (m_namer) return m_namer(cell);
    const QString row = cell.row < m_rowLabels.size() ? m_rowLabels.at(cell.row) : QString();
    const QString column =
        cell.column < m_columnLabels.size() ? m_columnLabels.at(cell.column) : QString();
    return QStringLiteral("%1 %2 %3").arg(row).arg(cell.column + 1).arg(column).trimmed();
}

void MatrixGrid::setGridSize(int columns, int rows)
{
    m_columns = std::clamp(columns, 1, 32);
    m_rows = std::clamp(rows, 1, 32);
    m_on.fill(false, m_columns * m_rows);
    m_current = {};
    fitCells();
    updateGeometry();
    update();
}

void MatrixGrid::setGridOrigin(QPoint origin)
{
    m_origin = origin;
    m_autoCentre = false;
    update();
}

void MatrixGrid::setScrollOffset(QPoint offset)
{
    m_scroll = offset;
    update();
}

QSize MatrixGrid::gridSize() const
{
    return {m_columns * (m_cellSize + m_gap) - m_gap, m_rows * (m_cellSize + m_gap) - m_gap};
}

QRect MatrixGrid::contentRect() const
{
    const QSize g = gridSize();
    return QRect(QPoint(-kFrameOutset, -kTitleAbove - 14),
                 QPoint(g.width() + kFrameOutset + kRowLabelSpace,
                        g.height() + kFrameOutset + kLegendSpace));
}

void MatrixGrid::setMaximumCellSize(int size)
{
    m_maxCellSize = std::max(size, int(kDefaultCellSize));
    fitCells();
}

void MatrixGrid::fitCells()
{
    // The decorations keep their size; the cells take what is left, square.
    const QRect c = contentRect();
    const QSize g = gridSize();
    const int freeWidth = width() - 2 * kOuterMargin - (c.width() - g.width());
    const int freeHeight = height() - 2 * kOuterMargin - (c.height() - g.height());
    const int byWidth = (freeWidth + m_gap) / std::max(1, m_columns) - m_gap;
    const int byHeight = (freeHeight + m_gap) / std::max(1, m_rows) - m_gap;
    const int size = std::clamp(std::min(byWidth, byHeight), int(kDefaultCellSize), m_maxCellSize);
    if (size == m_cellSize) return;
    m_cellSize = size;
    update();
}

void MatrixGrid::resizeEvent(QResizeEvent* event)
{
    fitCells();
    QWidget::resizeEvent(event);
}

QSize MatrixGrid::sizeHint() const
{
    return contentRect().size() + QSize(2, 2) * kOuterMargin;
}

QPoint MatrixGrid::gridOrigin() const
{
    if (!m_autoCentre) return m_origin;
    const QRect c = contentRect();
    const int x = std::max(kOuterMargin, (width() - c.width()) / 2) - c.left();
    const int y = std::max(kOuterMargin, (height() - c.height()) / 2) - c.top();
    return {x, y};
}

bool MatrixGrid::valid(MatrixCell cell) const
{
    return cell.column >= 0 && cell.column < m_columns && cell.row >= 0 && cell.row < m_rows;
}

std::optional<MatrixCell> MatrixGrid::hitTest(QPoint position) const
{
    const QPoint o = gridOrigin();
    const int x = position.x() - o.x() + m_scroll.x();
    const int y = position.y() - o.y() + m_scroll.y();
    // Integer division truncates towards zero: without this check a click up to one cell left
    // of or above the grid would land in the first column or row.
    if (x < 0 || y < 0) return std::nullopt;
    const MatrixCell cell{x / (m_cellSize + m_gap), y / (m_cellSize + m_gap)};
    if (!valid(cell)) return std::nullopt;
    return cell;
}

QRect MatrixGrid::cellRect(MatrixCell cell) const
{
    const QPoint o = gridOrigin() - m_scroll;
    return QRect(o.x() + cell.column * (m_cellSize + m_gap),
                 o.y() + cell.row * (m_cellSize + m_gap), m_cellSize, m_cellSize);
}

int MatrixGrid::stateIndex(MatrixCell cell) const
{
    return (m_rows - 1 - cell.row) * m_columns + cell.column;
}

bool MatrixGrid::isOn(MatrixCell cell) const
{
    return valid(cell) && m_on.at(cell.row * m_columns + cell.column);
}

bool MatrixGrid::setOn(MatrixCell cell, bool on)
{
    if (!valid(cell) || isOn(cell) == on) return false;
    m_on[cell.row * m_columns + cell.column] = on;
    update(cellRect(cell));
    emit cellChanged(cell, on);
    return true;
}

quint32 MatrixGrid::rowBits(int row) const
{
    quint32 bits = 0;
    for (int c = 0; c < m_columns && c < 32; ++c)
        if (isOn({c, row})) bits |= 1u << c;
    return bits;
}

void MatrixGrid::setRowBits(int row, quint32 bits)
{
    for (int c = 0; c < m_columns && c < 32; ++c)
        setOn({c, row}, (bits >> c) & 1u);
}

void MatrixGrid::setColumnLabels(const QStringList& names)
{
    m_columnLabels = names;
    update();
}

void MatrixGrid::setRowLabels(const QStringList& labels)
{
    m_rowLabels = labels;
    update();
}

void MatrixGrid::setTitles(const QString& columnsTitle, const QString& rowsTitle)
{
    m_columnsTitle = columnsTitle;
    m_rowsTitle = rowsTitle;
    update();
}

void MatrixGrid::setLegend(const QString& onText, const QString& offText)
{
    m_legendOn = onText;
    m_legendOff = offText;
    update();
}

void MatrixGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const auto cell = hitTest(event->position().toPoint());
    if (!cell) {
        event->ignore(); // a click outside the grid is the owner's
        return;
    }
    setCurrentCell(*cell);
    toggle(*cell);
    event->accept();
}

void MatrixGrid::keyPressEvent(QKeyEvent* event)
{
    MatrixCell next = m_current;
    switch (event->key()) {
    case Qt::Key_Left:
        --next.column;
        break;
    case Qt::Key_Right:
        ++next.column;
        break;
    case Qt::Key_Up:
        --next.row;
        break;
    case Qt::Key_Down:
        ++next.row;
        break;
    case Qt::Key_Home:
        next.column = 0;
        break;
    case Qt::Key_End:
        next.column = m_columns - 1;
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        toggle(m_current);
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentCell(next);
    event->accept();
}

void MatrixGrid::paintEvent(QPaintEvent*)
{
    const Theme& theme = Theme::instance();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(gridOrigin() - m_scroll); // from here on the grid's first cell is at (0, 0)
    const QSize g = gridSize();
    const int pitch = m_cellSize + m_gap;

    // Sunken frame around the cells.
    const QRectF frame = QRectF(-kFrameOutset, -kFrameOutset, g.width() + 2 * kFrameOutset,
                                g.height() + 2 * kFrameOutset)
                             .adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(theme.shadow, 1.0));
    p.setBrush(theme.well);
    p.drawRoundedRect(frame, 4, 4);
    p.setPen(QPen(theme.panelEdge, 1.0));
    p.drawLine(frame.bottomLeft() + QPointF(4, 0), frame.bottomRight() - QPointF(4, 0));

    // Cells: the fixed colours, a soft top light, a glow ring when on.
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            const bool on = isOn({c, r});
            const QRectF cell(c * pitch, r * pitch, m_cellSize, m_cellSize);
            const QColor fill = on ? theme.matrixOn : theme.matrixOff;
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(cell, 2, 2);
            p.setBrush(QColor(255, 255, 255, on ? 40 : 22));
            p.drawRoundedRect(QRectF(cell.left(), cell.top(), cell.width(), cell.height() * 0.45),
                              2, 2);
            if (on) {
                QColor glow = theme.accentBright;
                glow.setAlpha(kOnGlowAlpha);
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(glow, 2.0));
                p.drawRoundedRect(cell.adjusted(2, 2, -2, -2), 2, 2);
            }
        }
    }

    // Above the grid: guide line with a tick to each column, the number and name of each input,
    // and the columns title.
    const auto centreX = [pitch, this](int c) { return c * pitch + m_cellSize / 2.0; };
    p.setPen(QPen(theme.matrixGuide, 2.0));
    p.drawLine(QPointF(centreX(0), -kGuideAbove), QPointF(centreX(m_columns - 1), -kGuideAbove));
    for (int c = 0; c < m_columns; ++c)
        p.drawLine(QPointF(centreX(c), -kGuideAbove), QPointF(centreX(c), -kTickEndAbove));
    p.setFont(theme.font(14, true));
    p.setPen(theme.text);
    p.drawText(QRectF(0, -kTitleAbove - 14, g.width(), 24), Qt::AlignCenter, m_columnsTitle);
    for (int c = 0; c < m_columns; ++c) {
        const QRectF number(c * pitch, -kTickEndAbove + 1, m_cellSize, 18);
        p.setFont(theme.font(13, true));
        p.setPen(theme.matrixGuide);
        p.drawText(number, Qt::AlignCenter, QString::number(c + 1));
        if (c < m_columnLabels.size() && !m_columnLabels.at(c).isEmpty()) {
            p.setFont(theme.font(11));
            p.setPen(theme.textDim);
            const QString name =
                QFontMetrics(p.font()).elidedText(m_columnLabels.at(c), Qt::ElideRight, m_cellSize);
            p.drawText(number.translated(0, 18), Qt::AlignCenter, name);
        }
    }

    // Right of the grid: the row labels and the rows title.
    const double labelsLeft = g.width() + kFrameOutset + 16;
    p.setFont(theme.font(14, true));
    p.setPen(theme.text);
    p.drawText(QRectF(labelsLeft, -kTickEndAbove + 2, kRowLabelSpace, 24),
               Qt::AlignLeft | Qt::AlignVCenter, m_rowsTitle);
    p.setFont(theme.font(16, true));
    for (int r = 0; r < m_rows && r < m_rowLabels.size(); ++r) {
        const QRectF row(labelsLeft, r * pitch, kRowLabelSpace, m_cellSize);
        p.setPen(rowBits(r) ? theme.accentBright : theme.textDim);
        p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, m_rowLabels.at(r));
    }

    // Legend below the frame.
    p.setFont(theme.font(11, true));
    const QFontMetrics fm(p.font());
    double x = -kFrameOutset;
    const double y = g.height() + kFrameOutset + (kLegendSpace - kLegendSwatch) / 2.0;
    const auto legend = [&](const QColor& colour, const QString& label) {
        p.setPen(QPen(theme.shadow, 1.0));
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, kLegendSwatch - 1, kLegendSwatch - 1), 2, 2);
        x += kLegendSwatch + 8;
        p.setPen(theme.textDim);
        p.drawText(QRectF(x, y, fm.horizontalAdvance(label) + 4, kLegendSwatch),
                   Qt::AlignLeft | Qt::AlignVCenter, label);
        x += fm.horizontalAdvance(label) + 28;
    };
    legend(theme.matrixOn, m_legendOn);
    legend(theme.matrixLegendClosed, m_legendOff);

    if (hasFocus() && valid(m_current)) {
        const QRectF cell(m_current.column * pitch, m_current.row * pitch, m_cellSize, m_cellSize);
        drawFocusRing(p, cell.adjusted(-4, -4, 4, 4), 4);
    }
}

} // namespace sonaro::ui
