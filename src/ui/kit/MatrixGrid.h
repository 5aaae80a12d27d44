#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

namespace sonaro::ui {

// One crosspoint of the matrix: column = input (0 = input 1, on the left), row counted from the
// top (0 = output 1).
struct MatrixCell
{
    int column = 0;
    int row = 0;
    bool operator==(const MatrixCell&) const = default;
};

// The routing matrix: a grid of crosspoint cells (on RGB 0,165,221, off RGB 153,153,153), with
// the input numbers and names above, the output labels on the right and a legend below. A click
// on a cell toggles it; from the keyboard the arrows move the current cell (ringed while the grid
// has the focus) and Space or Enter toggles it. The grid can be scrolled by an offset that
// drawing and hit-testing share.
class MatrixGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultColumns = 8;
    static constexpr int kDefaultRows = 2;
    static constexpr int kDefaultCellSize = 80;
    static constexpr int kDefaultGap = 1;

    explicit MatrixGrid(QWidget* parent = nullptr);

    void setGridSize(int columns, int rows);
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    int cellSize() const { return m_cellSize; }
    // Cells grow with the widget up to this size (the default size: they keep it).
    void setMaximumCellSize(int size);
    int gap() const { return m_gap; }

    // Top-left corner of the first cell in widget coordinates. Setting it turns centring off;
    // by default the grid and its labels are centred in the widget.
    void setGridOrigin(QPoint origin);
    QPoint gridOrigin() const;
    void setScrollOffset(QPoint offset);
    QPoint scrollOffset() const { return m_scroll; }

    // The cell under a point in widget coordinates; none outside the grid. The gap right of and
    // below a cell belongs to that cell.
    std::optional<MatrixCell> hitTest(QPoint position) const;
    // The cell's rectangle in widget coordinates (scroll offset applied).
    QRect cellRect(MatrixCell cell) const;
    // The unit's state index of a cell: the bottom row counts first (row from the bottom x
    // columns + column), so input n of the top row of two is 8 + n.
    int stateIndex(MatrixCell cell) const;

    bool isOn(MatrixCell cell) const;
    // Returns true when the cell changed; emits cellChanged.
    bool setOn(MatrixCell cell, bool on);
    // Bit n of a row's word is the cell of column n.
    quint32 rowBits(int row) const;
    void setRowBits(int row, quint32 bits);

    // The cell the keyboard works on.
    MatrixCell currentCell() const { return m_current; }
    void setCurrentCell(MatrixCell cell);
    // Toggles a cell as the operator does (cellChanged, then cellToggled).
    void toggle(MatrixCell cell);
    // What a cell is called for assistive technology; by default the row label and the column's
    // number and name.
    void setCellNamer(std::function<QString(MatrixCell)> namer);
    QString cellName(MatrixCell cell) const;

    void setColumnLabels(const QStringList& names);
    void setRowLabels(const QStringList& labels);
    void setTitles(const QString& columnsTitle, const QString& rowsTitle);
    void setLegend(const QString& onText, const QString& offText);

    QSize sizeHint() const override;

signals:
    void cellChanged(sonaro::ui::MatrixCell cell, bool on);
    // The operator toggled a cell (after cellChanged).
    void cellToggled(sonaro::ui::MatrixCell cell, bool on);
    void currentCellChanged(sonaro::ui::MatrixCell cell);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool valid(MatrixCell cell) const;
    QSize gridSize() const;
    QRect contentRect() const; // grid and decorations, relative to the grid origin
    void fitCells();

    int m_columns = kDefaultColumns;
    int m_rows = kDefaultRows;
    int m_cellSize = kDefaultCellSize;
    int m_maxCellSize = kDefaultCellSize;
    int m_gap = kDefaultGap;
    bool m_autoCentre = true;
    QPoint m_origin{20, 20};
    QPoint m_scroll;
    MatrixCell m_current;
    std::function<QString(MatrixCell)> m_namer;
    QList<bool> m_on;
    QStringList m_columnLabels;
    QStringList m_rowLabels;
    QString m_columnsTitle = QStringLiteral("INPUTS");
    QString m_rowsTitle = QStringLiteral("OUTPUTS");
    QString m_legendOn = QStringLiteral("CHANNEL OPEN");
    QString m_legendOff = QStringLiteral("CHANNEL CLOSED");
};

} // namespace sonaro::ui
