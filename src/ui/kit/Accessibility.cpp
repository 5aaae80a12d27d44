#include "ui/kit/Accessibility.h"

#include "ui/kit/LevelMeter.h"
#include "ui/kit/MatrixGrid.h"
#include "ui/kit/ValueControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace sonaro::ui {

namespace {

// A value control: its role, its value as shown ("-6dB", "1.00kHz") and as a number.
class ValueControlAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ValueControlAccessible(ValueControl* control)
        : QAccessibleWidget(control, control->accessibleRole())
    {
    }

    ValueControl* control() const { return static_cast<ValueControl*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return control()->text();
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) text = control()->caption();
        return text;
    }

    QVariant currentValue() const override { return control()->value(); }
    void setCurrentValue(const QVariant& value) override
    {
        control()->setValueByOperator(value.toInt());
    }
    QVariant maximumValue() const override { return control()->maximum(); }
    QVariant minimumValue() const override { return control()->minimum(); }
    QVariant minimumStepSize() const override { return control()->singleStep(); }
};

// A level meter: a read-only progress indicator.
class LevelMeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit LevelMeterAccessible(LevelMeter* meter)
        : QAccessibleWidget(meter, QAccessible::ProgressBar)
    {
    }
    LevelMeter* meter() const { return static_cast<LevelMeter*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return QString::number(meter()->level());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    QVariant currentValue() const override { return meter()->level(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return meter()->maximum(); }
    QVariant minimumValue() const override { return meter()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }
};

// One crosspoint of the matrix: a check box that is toggled by its action.
class MatrixCellAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    MatrixCellAccessible(MatrixGrid* grid, int index) : m_grid(grid), m_index(index) {}

    bool isValid() const override { return m_grid && m_index < m_grid->columns() * m_grid->rows(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_grid.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid()) return {};
        if (t == QAccessible::Name) return m_grid->cellName(cell());
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid()) return {};
        const QRect r = m_grid->cellRect(cell());
        return QRect(m_grid->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.checkable = true;
        s.checked = m_grid->isOn(cell());
        s.focusable = true;
        s.focused = m_grid->hasFocus() && m_grid->currentCell() == cell();
        s.disabled = !m_grid->isEnabled();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override
    {
        if (!isValid() || name != toggleAction() || !m_grid->isEnabled()) return;
        m_grid->setCurrentCell(cell());
        m_grid->toggle(cell());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    MatrixCell cell() const { return {m_index % m_grid->columns(), m_index / m_grid->columns()}; }

private:
    QPointer<MatrixGrid> m_grid;
    int m_index;
};

// The matrix: a grouping of its crosspoints; the focus is the current cell's.
class MatrixGridAccessible : public QAccessibleWidget
{
public:
    explicit MatrixGridAccessible(MatrixGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~MatrixGridAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }
    MatrixGrid* grid() const { return static_cast<MatrixGrid*>(widget()); }

    int childCount() const override { return grid()->columns() * grid()->rows(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount()) return nullptr;
        auto it = m_cells.constFind(index);
        if (it == m_cells.cend())
            it = m_cells.insert(index, QAccessible::registerAccessibleInterface(
                                           new MatrixCellAccessible(grid(), index)));
        return QAccessible::accessibleInterface(*it);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
            if (QAccessible::accessibleInterface(*it) == child) return it.key();
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const auto cell = grid()->hitTest(grid()->mapFromGlobal(QPoint(x, y)));
        return cell ? child(cell->row * grid()->columns() + cell->column) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const MatrixCell c = grid()->currentCell();
        return grid()->hasFocus() ? child(c.row * grid()->columns() + c.column) : nullptr;
    }

private:
    mutable QHash<int, QAccessible::Id> m_cells;
};

QAccessibleInterface* kitFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType()) return nullptr;
    if (auto* control = qobject_cast<ValueControl*>(object))
        return new ValueControlAccessible(control);
    if (auto* meter = qobject_cast<LevelMeter*>(object)) return new LevelMeterAccessible(meter);
    if (auto* grid = qobject_cast<MatrixGrid*>(object)) {
        // The current cell speaks as the grid's focus moves.
        QObject::connect(grid, &MatrixGrid::currentCellChanged, grid, [grid](MatrixCell c) {
            if (!QAccessible::isActive() || !grid->hasFocus()) return;
            QAccessibleEvent event(grid, QAccessible::Focus);
            event.setChild(c.row * grid->columns() + c.column);
            QAccessible::updateAccessibility(&event);
        });
        return new MatrixGridAccessible(grid);
    }
    return nullptr;
}

} // namespace

void installKitAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(kitFactory);
        return true;
    }();
    (void)installed;
}

} // namespace sonaro::ui
