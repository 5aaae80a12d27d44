#include "ui/EventLogModel.h"

#include "ui/kit/Theme.h"

namespace sonaro::ui {

namespace {

// Kinds that mean something went wrong, drawn in the meter's red; a silence in its amber.
bool isFault(EventKind kind)
{
    return kind == EventKind::NotDelivered || kind == EventKind::Refused ||
           kind == EventKind::Storage;
}

} // namespace

EventLogModel::EventLogModel(EventLog& log, QObject* parent)
    : QAbstractTableModel(parent), m_capacity(log.capacity()),
      m_events(log.events().begin(), log.events().end())
{
    connect(&log, &EventLog::eventAdded, this, &EventLogModel::append);
}

int EventLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_events.size());
}

int EventLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Event& e = event(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == TimeColumn) return e.time.toString(QStringLiteral("HH:mm:ss.zzz"));
        if (index.column() == KindColumn) return EventLog::label(e.kind);
        if (index.column() == TextColumn) return e.shownText();
        return {};
    case Qt::ToolTipRole:
        if (index.column() == TimeColumn) return e.time.toString(Qt::ISODateWithMs);
        if (index.column() == TextColumn) return e.shownText();
        return {};
    case Qt::ForegroundRole:
        if (index.column() != KindColumn) return {};
        if (isFault(e.kind)) return Theme::instance().meterRed;
        if (e.kind == EventKind::Silence) return Theme::instance().meterYellow;
        return Theme::instance().textDim;
    case KindKeyRole:
        return EventLog::key(e.kind);
    default:
        return {};
    }
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case KindColumn:
        return tr("Kind");
    case TextColumn:
        return tr("Event");
    default:
        return {};
    }
}

void EventLogModel::retranslate()
{
    if (!m_events.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void EventLogModel::append(const Event& event)
{
    if (static_cast<int>(m_events.size()) >= m_capacity) {
        beginRemoveRows({}, 0, 0);
        m_events.pop_front();
        endRemoveRows();
    }
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_events.push_back(event);
    endInsertRows();
}

} // namespace sonaro::ui
