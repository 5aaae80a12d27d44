#pragma once

#include <QObject>
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
// Errors never stop the program: a failed select yields no rows, a failed statement returns false,
// and the caller goes on. The operator is told of the first failure of each kind, with SQLite's
// own text; later ones of that kind only reach storageProblem(), so that a broken file or disk
// never buries the program under message boxes.
class Database : public QObject
{
    Q_OBJECT

public:
    // Receives every statement as it runs, with its bound values written in place (numbers as
    // decimals, texts in single quotes). For tests and diagnostics.
    using StatementLog = std::function<void(const QString& statement)>;

    // The kinds of storage failure, each told to the operator once.
    enum class Problem
    {
        Open,              // the file could not be opened or read as the program's database
        ReadOnlyDirectory, // the data directory cannot be written
        Statement          // a statement or a commit failed on an open database
    };

    Database(OperatorInterface& op, const QString& databasePath, QObject* parent = nullptr);
    ~Database() override;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file; a file that does not exist (or holds no tables) is created with the four
    // tables and the six Group1 rows. A file that cannot be read as this database is reported
    // once, with its path, and the operator is asked whether to move it aside
    // ("<name>.damaged-<time>") and start a new one. When it stays, and whenever the data
    // directory cannot be written, the program runs on a database in memory (a copy of the file
    // when that can be read) and keeps nothing beyond the session. False only when no database
    // could be opened at all.
    bool openDatabase();
    // Runs a select. Opens the database first if no open was attempted yet.
    DbRows openQuery(const QString& statement, const QVariantList& values = {});
    // Runs any other statement. Opens the database first if no open was attempted yet.
    bool executeSql(const QString& statement, const QVariantList& values = {});
    void closeDatabase();

    bool isConnected() const { return m_connected; }
    // True while what is stored reaches the file; false on a database in memory.
    bool storesToFile() const { return m_connected && !m_inMemory; }
    // False when the open found the data directory read-only: nothing is written there.
    bool directoryWritable() const { return m_directoryWritable; }
    QString databasePath() const { return m_path; }
    void setStatementLog(StatementLog log) { m_log = std::move(log); }

    // Tells the operator of the first failure of its kind; later ones go to storageProblem().
    void reportProblem(Problem kind, const QString& text);

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

signals:
    // A storage failure the operator was not shown, because one of its kind already was.
    void storageProblem(const QString& text);

private:
    bool ensureOpenAttempted();
    bool open(bool mayAsk);
    // Opens m_path; fails with SQLite's reason when the file is not a sound database.
    bool openFile(QString& reason);
    // A database in memory, filled from the file when it can be read (read-only, as it stands).
    bool openInMemory(bool copyFile);
    bool copyFromFile();
    // Moves the file (and its journal files) aside; fails with the reason.
    bool moveAside(const QString& aside, QString& reason);
    bool createSchema(QString& reason);
    void finishOpen(bool inMemory);
    QString statementFailure(const QString& error) const;
    // Shows the failure whether or not one of its kind was shown.
    void showProblem(Problem kind, const QString& text);
    static unsigned problemBit(Problem kind);

    OperatorInterface& m_op;
    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_openAttempted = false;
    bool m_connected = false;
    bool m_inMemory = false;
    bool m_directoryWritable = true;
    unsigned m_problemsShown = 0; // bit per Problem
    StatementLog m_log;
};

} // namespace sonaro
