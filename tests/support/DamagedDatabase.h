#pragma once

// Database files as an operator may find them after a crash, a full disk or a wrong copy, for
// the tests of the store and of the whole program.
#include "model/RecordingOperator.h"
#include "store/Database.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#include <gtest/gtest.h>

namespace sonaro::testing {

enum class Damage
{
    RandomBytes,
    Truncated,
    Directory,
    BadHeader
};

// A database with enough rows to fill several pages, so that a cut file misses some of them.
inline void makeDatabase(const QString& path, const QString& firstName = QStringLiteral("Lectern"))
{
    RecordingOperator op;
    Database db(op, path);
    ASSERT_TRUE(db.openDatabase());
    Database::Batch batch(db);
    for (int i = 0; i < 400; ++i)
        db.executeSql(
            QStringLiteral("insert into Device(ID,Name,IP,Type) values(?,?,?,1)"),
            {i % 8 + 1, i == 0 ? firstName : QStringLiteral("Input%1").arg(i), i / 8 + 1});
    ASSERT_TRUE(op.messages.empty());
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(data), data.size());
}

inline void damage(const QString& path, Damage kind)
{
    switch (kind) {
    case Damage::RandomBytes: {
        QRandomGenerator random(7);
        QByteArray bytes(8192, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random.bounded(256));
        writeAll(path, bytes);
        return;
    }
    case Damage::Truncated: {
        makeDatabase(path);
        const QByteArray whole = readAll(path);
        ASSERT_GT(whole.size(), 8192);
        writeAll(path, whole.left(whole.size() / 2));
        return;
    }
    case Damage::Directory:
        ASSERT_TRUE(QDir().mkpath(path));
        return;
    case Damage::BadHeader: {
        makeDatabase(path);
        QByteArray bytes = readAll(path);
        bytes.replace(0, 16, QByteArray("Not a database!!"));
        writeAll(path, bytes);
        return;
    }
    }
}

} // namespace sonaro::testing
