#pragma once

#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>

#include <functional>
#include <vector>

namespace sonaro {

class OperatorInterface;

// One row of a select, read by column name. Numbers are read as decimal text, so a column that
// holds no number reads as 0.
class DbRow
{
public:
    explicit DbRow(QSqlRecord record) : m_record(std::move(record)) {}

    int integer(const char* column) const;
    QString text(const char* column) const;

private:
    QSqlRecord m_record;
};
using DbRows = std::vector<DbRow>;

// The program's one database connection (SQLite through Qt SQL). Every statement runs through
// it with its values bound as parameters ("?" in the statement text, values in order).
// Errors are shown to the operator with SQLite's own text and never stop the program: a failed
// select yields no rows, a failed statement returns false, and the caller goes on.
class Database
{
public:
    // Receives every statement as it runs, with its bound values written in place (numbers as
    // decimals, texts in single quotes). For tests and diagnostics.
    using StatementLog = std::function<void(const QString& statement)>;

    Database(OperatorInterface& op, const QString& databasePath);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file; a file that does not exist (or holds no tables) is created with the four
    // tables and the six Group1 rows. Reports and returns false on failure.
    bool openDatabase();
    // Runs a select. Opens the database first if no open was attempted yet.
    DbRows openQuery(const QString& statement, const QVariantList& values = {});
    // Runs any other statement. Opens the database first if no open was attempted yet.
    bool executeSql(const QString& statement, const QVariantList& values = {});
    void closeDatabase();

    bool isConnected() const { return m_connected; }
    QString databasePath() const { return m_path; }
    void setStatementLog(StatementLog log) { m_log = std::move(log); }

    // Runs the statements of one operation as one transaction: one write to disk instead of one
    // per statement, and other readers never see half an operation. Statement errors are still
    // reported one by one and the statements after them still run.
    class Batch
    {
    public:
        explicit Batch(Database& db);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Database& m_db;
        bool m_active = false;
    };

    // The statement with its values written in place, as the log receives it.
    static QString expandStatement(const QString& statement, const QVariantList& values);

private:
    bool ensureOpenAttempted();
    bool createSchema();
    void report(const QString& text);

    OperatorInterface& m_op;
    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_openAttempted = false;
    bool m_connected = false;
    StatementLog m_log;
};

} // namespace sonaro
