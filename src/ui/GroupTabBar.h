#pragma once

#include <QColor>
#include <QTabBar>

namespace sonaro::ui {

// The channel tabs "SINGLE", "GROUP  1" ... "GROUP  5": movable, each tab in its own colour
// (green when its group has members, grey otherwise), the active tab bold.
class GroupTabBar : public QTabBar
{
    Q_OBJECT

public:
    explicit GroupTabBar(QWidget* parent = nullptr);

    void setTabColour(int index, const QColor& colour);
    QColor tabColour(int index) const;
    // The page (0 = SINGLE, 1..5 = groups) shown by the tab at this position.
    int pageAt(int index) const { return tabData(index).toInt(); }
    int indexOfPage(int page) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize tabSizeHint(int index) const override;
};

} // namespace sonaro::ui
