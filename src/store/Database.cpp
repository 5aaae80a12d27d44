#include "store/Database.h"

#include "model/OperatorInterface.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace sonaro {

namespace {

// SQLite's own text when there is one, else Qt's description.
QString errorText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

// Each connection object gets its own Qt SQL connection name.
QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("sonaro-db-%1").arg(counter.fetchAndAddRelaxed(1));
}

// SerialID is assigned by SQLite from 1 in insertion order and never reused; Data starts at 0.
// The column order is part of the format: ControlType and dvLink rows are inserted positionally.
const char* const kSchema[] = {
    "create table Device (ID integer, Name text, IP integer, Type integer, "
    "SerialID integer primary key autoincrement, Data integer not null default 0)",
    "create table Group1 (GroupID integer primary key, GroupName text, Type integer)",
    "create table DvLink (SerialID integer, GroupID integer)",
    "create table ControlType (GroupID integer, volflag integer, lineflag integer, "
    "openflag integer, eqflag integer, limitflag integer, phontonflag integer)",
};

const char* const kTables[] = {"Device", "Group1", "DvLink", "ControlType"};

const char* const kCascadeSchema[] = {
    "create table if not exists CascadeLink (IP integer, Channel integer, GroupNo integer, "
    "Flags integer)",
    "create table if not exists UnitName (IP integer primary key, Name text)",
};

struct GroupRow
{
    int id;
    const char* name;
    int type;
};
// GroupID 1 is the page of ungrouped channels; 2..6 are the five linkable groups.
constexpr GroupRow kGroupRows[] = {
    {1, "ALL", 0},     {2, "GROUP 1", 1}, {3, "GROUP 2", 1},
    {4, "GROUP 3", 1}, {5, "GROUP 4", 1}, {6, "GROUP 5", 1},
};

} // namespace

int DbRow::integer(const char* column) const
{
    // A decimal text-to-integer conversion: anything that is not a number reads as 0.
    bool ok = false;
    const int value = m_record.value(QString::fromLatin1(column)).toString().trimmed().toInt(&ok);
    return ok ? value : 0;
}

QString DbRow::text(const char* column) const
{
    return m_record.value(QString::fromLatin1(column)).toString();
}

Database::Database(OperatorInterface& op, const QString& databasePath, QObject* parent)
    : QObject(parent), m_op(op), m_path(databasePath), m_connectionName(nextConnectionName())
{
}

Database::~Database()
{
    closeDatabase();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName)) QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::reportProblem(Problem kind, const QString& text)
{
    if (m_problemsShown & problemBit(kind)) {
        emit storageProblem(text);
        return;
    }
    showProblem(kind, text);
}

void Database::showProblem(Problem kind, const QString& text)
{
    m_problemsShown |= problemBit(kind);
    m_op.showMessage(kind == Problem::ReadOnlyDirectory ? Severity::Warning : Severity::Error,
                     text);
}

unsigned Database::problemBit(Problem kind)
{
    return 1u << static_cast<unsigned>(kind);
}

bool Database::openDatabase()
{
    m_openAttempted = true;
    if (m_connected) return true;
    return open(true);
}

bool Database::open(bool mayAsk)
{
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!m_db.isValid()) {
        reportProblem(Problem::Open, tr("The SQLite driver (QSQLITE) is not available."));
        return false;
    }
    const QFileInfo file(m_path);
    m_directoryWritable = QFileInfo(file.absolutePath()).isWritable();
    if (!m_directoryWritable) {
        reportProblem(Problem::ReadOnlyDirectory,
                      tr("The data directory %1 cannot be written. Sonaro runs on, but channel "
                         "names, groups and settings are kept for this session only. Make the "
                         "directory writable, or start Sonaro with --data-dir and a writable "
                         "directory.")
                          .arg(QDir::toNativeSeparators(file.absolutePath())));
        return openInMemory(file.exists());
    }
    const bool existed = file.exists();
    QString reason;
    if (openFile(reason)) return true;
    if (!existed || !mayAsk) {
        reportProblem(Problem::Open,
                      tr("The database %1 cannot be opened: %2. Sonaro runs on without keeping "
                         "channel names and groups. Check the file and its directory, or start "
                         "Sonaro with --data-dir and another directory.")
                          .arg(QDir::toNativeSeparators(m_path), reason));
        return openInMemory(false);
    }
    // A damaged file is the operator's data: it is moved aside, never overwritten or deleted.
    const QString stamped =
        QStringLiteral("%1.damaged-%2")
            .arg(m_path, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString aside = stamped;
    for (int n = 2; QFileInfo::exists(aside) && n < 100; ++n)
        aside = stamped + QStringLiteral("-%1").arg(n);
    // The question is the report of this failure: later ones of its kind are not shown.
    m_problemsShown |= problemBit(Problem::Open);
    const bool moveIt = m_op.confirm(
        Severity::Error,
        tr("The database %1 cannot be read: %2.\n\nMove it aside as %3 and start a new, empty "
           "database? Channel names and groups start afresh; the old file is kept.\n\nNo: Sonaro "
           "runs on without keeping channel names and groups until it is started again.")
            .arg(QDir::toNativeSeparators(m_path), reason, QFileInfo(aside).fileName()));
    if (!moveIt) {
        emit storageProblem(tr("The damaged database %1 stays; nothing is stored this session.")
                                .arg(QDir::toNativeSeparators(m_path)));
        return openInMemory(false);
    }
    // The operator said Yes: whether it worked or not, they are told.
    if (!moveAside(aside, reason)) {
        showProblem(Problem::Open,
                    tr("The database %1 could not be moved aside: %2. Sonaro runs on without "
                       "keeping channel names and groups. Move or delete the file, then start "
                       "Sonaro again.")
                        .arg(QDir::toNativeSeparators(m_path), reason));
        return openInMemory(false);
    }
    emit storageProblem(tr("The damaged database was moved aside as %1; a new one was started.")
                            .arg(QDir::toNativeSeparators(aside)));
    if (openFile(reason)) return true;
    showProblem(Problem::Open, tr("The database %1 cannot be opened: %2. Sonaro runs on without "
                                  "keeping channel names and groups.")
                                   .arg(QDir::toNativeSeparators(m_path), reason));
    return openInMemory(false);
}

bool Database::openFile(QString& reason)
{
    reason.clear();
    m_db.setConnectOptions();
    m_db.setDatabaseName(m_path);
    if (!m_db.open()) {
        reason = errorText(m_db.lastError());
        return false;
    }
    // SQLite opens any file lazily; reading the catalogue finds a file that is not a database,
    // and the quick check a file whose pages are cut off or overwritten.
    {
        QSqlQuery probe(m_db);
        QStringList tables;
        if (probe.exec(QStringLiteral("select name from sqlite_master where type='table'"))) {
            while (probe.next())
                tables << probe.value(0).toString();
            if (probe.exec(QStringLiteral("pragma quick_check")) && probe.next() &&
                probe.value(0).toString() != QLatin1String("ok"))
                reason = probe.value(0).toString();
        }
        if (reason.isEmpty() && probe.lastError().isValid()) reason = errorText(probe.lastError());
        if (reason.isEmpty() && !tables.isEmpty()) {
            for (const char* table : kTables)
                if (!tables.contains(QString::fromLatin1(table), Qt::CaseInsensitive))
                    reason = tr("the table %1 is missing").arg(QString::fromLatin1(table));
        }
        if (reason.isEmpty() && tables.isEmpty()) createSchema(reason);
    }
    if (!reason.isEmpty()) {
        m_db.close();
        return false;
    }
    // Write-ahead logging: a commit no longer waits for the disk, and a crash still leaves a
    // consistent file. The dispatcher writes link tables while the unit streams, and the event
    // loop must not stall on it.
    {
        QSqlQuery pragma(m_db);
        pragma.exec(QStringLiteral("pragma journal_mode=WAL"));
        pragma.exec(QStringLiteral("pragma synchronous=NORMAL"));
    }
    finishOpen(false);
    return true;
}

bool Database::openInMemory(bool copyFile)
{
    if (m_db.isOpen()) m_db.close();
    // URIs let the copy attach the file read-only, without its journal files.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    m_db.setDatabaseName(QStringLiteral(":memory:"));
    QString reason;
    if (!m_db.open() || !createSchema(reason)) {
        if (reason.isEmpty()) reason = errorText(m_db.lastError());
        reportProblem(Problem::Open, tr("No database could be opened: %1").arg(reason));
        return false;
    }
    if (copyFile && !copyFromFile()) {
        // Whatever the copy left behind goes; a fresh database in memory takes its place.
        m_db.close();
        m_db.setDatabaseName(QStringLiteral(":memory:"));
        if (!m_db.open() || !createSchema(reason)) {
            reportProblem(Problem::Open, tr("No database could be opened: %1").arg(reason));
            return false;
        }
        emit storageProblem(tr("The database %1 could not be read; this session starts with "
                               "an empty one.")
                                .arg(QDir::toNativeSeparators(m_path)));
    }
    finishOpen(true);
    return true;
}

bool Database::copyFromFile()
{
    QSqlQuery query(m_db);
    // immutable: the file is only read, and no journal file is looked for or made beside it.
    const QString uri =
        QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
        QStringLiteral("?immutable=1");
    if (!query.prepare(QStringLiteral("attach database ? as disk"))) return false;
    query.addBindValue(uri);
    if (!query.exec()) return false;
    bool ok = m_db.transaction() && query.exec(QStringLiteral("delete from main.Group1"));
    for (const char* table : kTables) {
        if (!ok) break;
        ok = query.exec(QStringLiteral("insert into main.%1 select * from disk.%1")
                            .arg(QString::fromLatin1(table)));
    }
    ok = ok && m_db.commit();
    if (!ok) m_db.rollback();
    query.exec(QStringLiteral("detach database disk"));
    return ok;
}

bool Database::moveAside(const QString& aside, QString& reason)
{
    if (m_db.isOpen()) m_db.close();
    if (!QDir().rename(m_path, aside)) {
        QFile file(m_path);
        reason = file.open(QIODevice::ReadOnly) ? tr("it cannot be renamed") : file.errorString();
        return false;
    }
    // Journal files of the old file would be applied to the new one: they go with it.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString journal = m_path + QLatin1String(suffix);
        if (QFileInfo::exists(journal)) QDir().rename(journal, aside + QLatin1String(suffix));
    }
    return true;
}

void Database::finishOpen(bool inMemory)
{
    m_inMemory = inMemory;
    m_connected = true;
    // The units behind the first one of a cascade keep their link tables and the operator's
    // names of the units in tables of their own, beside the four the program has always had;
    // a database from before them gets them now.
    QSqlQuery query(m_db);
    for (const char* statement : kCascadeSchema)
        query.exec(QString::fromLatin1(statement));
}

Database::Batch::Batch(Database& db) : m_db(db)
{
    if (m_db.ensureOpenAttempted() && m_db.m_connected) m_active = m_db.m_db.transaction();
}

Database::Batch::~Batch()
{
    if (m_active && !m_db.m_db.commit())
        m_db.reportProblem(Problem::Statement,
                           m_db.statementFailure(errorText(m_db.m_db.lastError())));
}

bool Database::createSchema(QString& reason)
{
    // One transaction, so that a failure never leaves half a schema behind.
    if (!m_db.transaction()) {
        reason = errorText(m_db.lastError());
        return false;
    }
    QSqlQuery query(m_db);
    bool ok = true;
    for (const char* statement : kSchema) {
        if (!query.exec(QString::fromLatin1(statement))) {
            ok = false;
            break;
        }
    }
    for (const GroupRow& row : kGroupRows) {
        if (!ok) break;
        ok = query.prepare(QStringLiteral("insert into Group1 values(?,?,?)"));
        if (!ok) break;
        query.addBindValue(row.id);
        query.addBindValue(QString::fromLatin1(row.name));
        query.addBindValue(row.type);
        ok = query.exec();
    }
    if (!ok) {
        reason = errorText(query.lastError());
        query = QSqlQuery();
        m_db.rollback();
        return false;
    }
    if (!m_db.commit()) {
        reason = errorText(m_db.lastError());
        return false;
    }
    return true;
}

bool Database::ensureOpenAttempted()
{
    if (!m_openAttempted) {
        m_openAttempted = true;
        return open(false);
    }
    if (!m_connected) {
        // As with a connection that failed to open: the statement fails, but the open is not
        // retried for every statement.
        reportProblem(Problem::Open,
                      tr("The database %1 is not open.").arg(QDir::toNativeSeparators(m_path)));
        return false;
    }
    return true;
}

QString Database::statementFailure(const QString& error) const
{
    return tr("The database %1 failed: %2").arg(QDir::toNativeSeparators(m_path), error);
}

DbRows Database::openQuery(const QString& statement, const QVariantList& values)
{
    if (m_log) m_log(expandStatement(statement, values));
    DbRows rows;
    if (!ensureOpenAttempted()) return rows;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    bool ok = query.prepare(statement);
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok) {
        reportProblem(Problem::Statement, statementFailure(errorText(query.lastError())));
        return rows;
    }
    while (query.next())
        rows.emplace_back(query.record());
    return rows;
}

bool Database::executeSql(const QString& statement, const QVariantList& values)
{
    if (m_log) m_log(expandStatement(statement, values));
    if (!ensureOpenAttempted()) return false;
    QSqlQuery query(m_db);
    bool ok = query.prepare(statement);
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok) reportProblem(Problem::Statement, statementFailure(errorText(query.lastError())));
    return ok;
}

void Database::closeDatabase()
{
    if (m_db.isValid() && m_db.isOpen()) m_db.close();
    m_connected = false;
    m_inMemory = false;
    m_openAttempted = false;
}

QString Database::expandStatement(const QString& statement, const QVariantList& values)
{
    QString expanded;
    expanded.reserve(statement.size() + 16 * values.size());
    qsizetype next = 0;
    for (const QChar c : statement) {
        if (c != QLatin1Char('?') || next >= values.size()) {
            expanded += c;
            continue;
        }
        const QVariant& value = values.at(next++);
        if (value.typeId() == QMetaType::QString)
            expanded += QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
        else
            expanded += value.toString();
    }
    return expanded;
}

} // namespace sonaro
