#include "ui/EventLogDock.h"

#include "ui/EventLogModel.h"
#include "ui/kit/Theme.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace sonaro::ui {

namespace {

constexpr int kTimeColumnWidth = 100;
constexpr int kKindColumnWidth = 130;
constexpr int kMinimumHeight = 160;

} // namespace

EventLogDock::EventLogDock(EventLog& log, OperatorInterface& op, QWidget* parent)
    : QDockWidget(parent), m_op(op), m_model(new EventLogModel(log, this)),
      m_filter(new QSortFilterProxyModel(this))
{
    setObjectName(QStringLiteral("eventLogDock"));
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea | Qt::LeftDockWidgetArea |
                    Qt::RightDockWidgetArea);
    const Theme& theme = Theme::instance();

    m_filter->setSourceModel(m_model);
    m_filter->setFilterRole(EventLogModel::KindKeyRole);
    m_filter->setFilterKeyColumn(EventLogModel::KindColumn);

    auto* body = new QWidget(this);
    QPalette palette = body->palette();
    palette.setColor(QPalette::Window, theme.panel);
    palette.setColor(QPalette::Base, theme.well);
    palette.setColor(QPalette::AlternateBase, theme.window);
    palette.setColor(QPalette::Text, theme.text);
    body->setPalette(palette);
    body->setAutoFillBackground(true);

    m_kindLabel = new QLabel(body);
    m_kinds = new QComboBox(body);
    m_kinds->addItem(QString());
    for (const EventKind kind : EventLog::kKinds)
        m_kinds->addItem(QString(), EventLog::key(kind));
    connect(m_kinds, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QString key = m_kinds->itemData(index).toString();
        // Whole keys only: "login" must not show "relogin".
        m_filter->setFilterRegularExpression(
            key.isEmpty() ? QString()
                          : QStringLiteral("^%1$").arg(QRegularExpression::escape(key)));
        m_table->scrollToBottom();
    });
    m_save = new QPushButton(body);
    connect(m_save, &QPushButton::clicked, this, &EventLogDock::saveLog);
    m_saved = new QLabel(body);
    m_saved->setForegroundRole(QPalette::PlaceholderText);

    m_table = new QTableView(body);
    m_table->setModel(m_filter);
    m_table->setPalette(palette);
    m_table->setAlternatingRowColors(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(EventLogModel::TimeColumn, kTimeColumnWidth);
    m_table->setColumnWidth(EventLogModel::KindColumn, kKindColumnWidth);
    m_table->setMinimumHeight(kMinimumHeight);

    // New events are followed while the view stands at the bottom; a view scrolled up to read
    // stays where it is.
    connect(m_filter, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = m_table->verticalScrollBar();
        m_follow = bar->value() >= bar->maximum();
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_follow) m_table->scrollToBottom();
    });

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_kindLabel);
    bar->addWidget(m_kinds);
    bar->addStretch(1);
    bar->addWidget(m_saved);
    bar->addWidget(m_save);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(m_table);
    setWidget(body);

    toggleViewAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    retranslate();
    m_table->scrollToBottom();
}

void EventLogDock::setKindFilter(std::optional<EventKind> kind)
{
    m_kinds->setCurrentIndex(kind ? m_kinds->findData(EventLog::key(*kind)) : 0);
}

std::optional<EventKind> EventLogDock::kindFilter() const
{
    return EventLog::kindFromKey(m_kinds->currentData().toString());
}

void EventLogDock::saveLog()
{
    const QString start = m_savedPath.isEmpty()
                              ? QDir::home().filePath(QStringLiteral("sonaro-events.log"))
                              : m_savedPath;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save log"), start,
                                                      tr("Log files (*.log *.txt);;All files (*)"));
    if (!path.isEmpty()) saveTo(path);
}

bool EventLogDock::saveTo(const QString& path)
{
    QByteArray text;
    for (int row = 0; row < m_filter->rowCount(); ++row)
        text +=
            m_model->event(m_filter->mapToSource(m_filter->index(row, 0)).row()).line().toUtf8() +
            '\n';
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly))
        error = file.errorString();
    else if (file.write(text) != text.size())
        error = file.errorString();
    else if (!file.commit())
        error = file.errorString();
    if (!error.isEmpty()) {
        file.cancelWriting();
        m_op.showMessage(Severity::Error,
                         tr("The log could not be saved to %1: %2").arg(path, error));
        return false;
    }
    m_savedPath = path;
    m_saved->setText(tr("Saved to %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void EventLogDock::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDockWidget::changeEvent(event);
}

void EventLogDock::retranslate()
{
    setWindowTitle(tr("Event log"));
    m_table->setAccessibleName(tr("Event log"));
    toggleViewAction()->setText(tr("EVENT LOG"));
    m_kindLabel->setText(tr("Show"));
    m_kinds->setItemText(0, tr("All kinds"));
    for (int i = 0; i < static_cast<int>(EventLog::kKinds.size()); ++i)
        m_kinds->setItemText(i + 1, EventLog::label(EventLog::kKinds[static_cast<std::size_t>(i)]));
    m_save->setText(tr("Save log…"));
    if (!m_savedPath.isEmpty())
        m_saved->setText(tr("Saved to %1").arg(QDir::toNativeSeparators(m_savedPath)));
    m_model->retranslate();
    // The labels' new widths, before the next paint.
    widget()->layout()->activate();
}

} // namespace sonaro::ui
