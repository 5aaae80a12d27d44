#include "store/Database.h"

#include "model/OperatorInterface.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

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

Database::Database(OperatorInterface& op, const QString& databasePath)
    : m_op(op), m_path(databasePath), m_connectionName(nextConnectionName())
{
}

Database::~Database()
{
    closeDatabase();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName)) QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::report(const QString& text)
{
    m_op.showMessage(Severity::Error, text);
}

bool Database::openDatabase()
{
    m_openAttempted = true;
    if (m_connected) return true;
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!m_db.isValid()) {
        report(QStringLiteral("The SQLite driver (QSQLITE) is not available."));
        return false;
    }
    m_db.setDatabaseName(m_path);
    if (!m_db.open()) {
        report(errorText(m_db.lastError()));
        return false;
    }
    // SQLite opens any file lazily; reading the catalogue finds a file that is not a database.
    int tableCount = -1;
    {
        QSqlQuery probe(m_db);
        if (probe.exec(QStringLiteral("select count(*) from sqlite_master where type='table'")) &&
            probe.next()) {
            tableCount = probe.value(0).toInt();
        } else {
            const QString error = errorText(probe.lastError());
            probe = QSqlQuery();
            m_db.close();
            report(error);
            return false;
        }
    }
    if (tableCount == 0 && !createSchema()) {
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
    m_connected = true;
    return true;
}

Database::Batch::Batch(Database& db) : m_db(db)
{
    if (m_db.ensureOpenAttempted() && m_db.m_connected) m_active = m_db.m_db.transaction();
}

Database::Batch::~Batch()
{
    if (m_active && !m_db.m_db.commit()) m_db.report(errorText(m_db.m_db.lastError()));
}

bool Database::createSchema()
{
    // One transaction, so that a failure never leaves half a schema behind.
    if (!m_db.transaction()) {
        report(errorText(m_db.lastError()));
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
        const QString error = errorText(query.lastError());
        query = QSqlQuery();
        m_db.rollback();
        report(error);
        return false;
    }
    if (!m_db.commit()) {
        report(errorText(m_db.lastError()));
        return false;
    }
    return true;
}

bool Database::ensureOpenAttempted()
{
    if (!m_openAttempted) return openDatabase();
    if (!m_connected) {
        // As with a connection that failed to open: the statement fails and is reported, but the
        // open is not retried for every statement.
        report(QStringLiteral("The database %1 is not open.").arg(m_path));
        return false;
    }
    return true;
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
        report(errorText(query.lastError()));
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
    if (!ok) report(errorText(query.lastError()));
    return ok;
}

void Database::closeDatabase()
{
    if (m_db.isValid() && m_db.isOpen()) m_db.close();
    m_connected = false;
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
