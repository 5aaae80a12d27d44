#pragma once

#include "mixer/EventLog.h"
#include "model/OperatorInterface.h"

#include <QDockWidget>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace sonaro::ui {

class EventLogModel;

// The event log panel: a table of time, kind and text, the newest at the bottom and followed
// while the view stands at the bottom, a filter by kind and "Save log…", which writes the lines
// shown, as the log file has them. Its toggleViewAction() shows and hides it from the menu.
class EventLogDock : public QDockWidget
{
    Q_OBJECT

public:
    EventLogDock(EventLog& log, OperatorInterface& op, QWidget* parent = nullptr);

    // One kind only, or all of them.
    void setKindFilter(std::optional<EventKind> kind);
    std::optional<EventKind> kindFilter() const;

    // Writes the lines shown, checked through to the disk; a failure is told to the operator.
    bool saveTo(const QString& path);

    QTableView* table() const { return m_table; }
    QComboBox* kindBox() const { return m_kinds; }
    QPushButton* saveButton() const { return m_save; }

public slots:
    // Asks for a file, then saveTo().
    void saveLog();

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    OperatorInterface& m_op;
    EventLogModel* m_model;
    QSortFilterProxyModel* m_filter;
    QTableView* m_table;
    QComboBox* m_kinds;
    QLabel* m_kindLabel;
    QPushButton* m_save;
    QLabel* m_saved;
    QString m_savedPath;
    bool m_follow = true;
};

} // namespace sonaro::ui
