#pragma once

#include "mixer/EventLog.h"

#include <QAbstractTableModel>

#include <deque>

namespace sonaro::ui {

// The event log as a table: time, kind, text, the newest last. Keeps its own copy, bounded like
// the log, so that rows are inserted and removed in the order the view is told about them.
class EventLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        TimeColumn,
        KindColumn,
        TextColumn,
        ColumnCount
    };
    // The kind's key, for filters.
    static constexpr int KindKeyRole = Qt::UserRole;

    explicit EventLogModel(EventLog& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const Event& event(int row) const { return m_events.at(static_cast<std::size_t>(row)); }
    // The language changed: every label and text is asked for again.
    void retranslate();

private:
    void append(const Event& event);

    int m_capacity;
    std::deque<Event> m_events;
};

} // namespace sonaro::ui
