// The server's parts that need no network: its files and their secrets, limits, sessions and the
// merging of bursts.
#include "server/LoginLimiter.h"
#include "server/PrivateFile.h"
#include "server/RequestBudget.h"
#include "server/ServerConfig.h"
#include "server/SessionTable.h"
#include "server/SetMerger.h"
#include "server/UserStore.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace sonaro;
using namespace sonaro::server;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat s = {};
    ::stat(QFile::encodeName(path).constData(), &s);
    return s.st_mode & 0777;
}

} // namespace

TEST(ServerConfig, AMissingFileIsWrittenOwnerOnlyAndListensOnLoopback)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("etc/sonaro/server.conf");
    QString problem;
    const auto config = ServerConfigFile::load(path, &problem);
    ASSERT_TRUE(config) << problem.toStdString();
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(config->listenAddress, QHostAddress(QHostAddress::LocalHost));
    EXPECT_TRUE(config->loopbackOnly());
    EXPECT_EQ(ServerConfigFile::parseListen(":8081"),
              std::make_pair(QHostAddress(QHostAddress::LocalHost), quint16(8081)));
    for (const char* bad : {"8080", "127.0.0.1", "127.0.0.1:99999", "host name:80", "::1:80", ""})
        EXPECT_FALSE(ServerConfigFile::parseListen(bad)) << bad;
}

TEST(ServerConfig, TheUnitsPasswordIsReadOnlyFromAPrivateFileOrTheEnvironment)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("server.conf");
    // The last one readable, for the environment below.
    const std::pair<mode_t, bool> modes[] = {
        {0644, false}, {0660, false}, {0602, false}, {0640, true}, {0600, true}};
    for (const auto& [mode, readable] : modes) {
        SCOPED_TRACE(mode);
        QString problem;
        ASSERT_TRUE(writePrivateFile(path, "[unit]\naddress=127.0.0.2\npassword=a,b\n", &problem));
        ::chmod(QFile::encodeName(path).constData(), mode);
        const auto config = ServerConfigFile::load(path, &problem);
        EXPECT_EQ(config.has_value(), readable);
        if (config) {
            EXPECT_EQ(config->password, "a,b");
        } else { // refused with the command that mends it
            EXPECT_TRUE(problem.contains("chmod")) << problem.toStdString();
        }
    }
    QString problem;
    qputenv(ServerConfigFile::kPasswordVariable, "fromenv");
    const auto config = ServerConfigFile::load(path, &problem);
    qunsetenv(ServerConfigFile::kPasswordVariable);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->password, "fromenv");
}

TEST(UserStore, PasswordsAndTokensAreKeptOnlyAsHashesInAnOwnerOnlyFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("users.json");
    UserStore store(path);
    QString problem;
    ASSERT_TRUE(store.setUser("ada", Role::Administrator, "correct horse", &problem, 1000));
    const auto token = store.addToken("crestron", Role::Operator, &problem);
    ASSERT_TRUE(token);
    ASSERT_TRUE(store.save(&problem));
    EXPECT_EQ(modeOf(path), 0600u);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_FALSE(text.contains("correct horse"));
    EXPECT_FALSE(text.contains(token->toUtf8()));

    UserStore again(path);
    ASSERT_TRUE(again.load(&problem));
    const auto ada = again.user("ada");
    ASSERT_TRUE(ada);
    EXPECT_TRUE(UserStore::passwordMatches(*ada, "correct horse"));
    EXPECT_FALSE(UserStore::passwordMatches(*ada, "correct horsE"));
    EXPECT_FALSE(UserStore::passwordMatches(UserStore::decoy(), "correct horse"));
    EXPECT_EQ(again.identifyToken(*token).value_or(Identity{}).name, "crestron");
    EXPECT_FALSE(again.identifyToken(token->chopped(1)));

    // A file others may read is refused, and the next save replaces it owner-only, whole.
    ::chmod(QFile::encodeName(path).constData(), 0644);
    EXPECT_FALSE(again.load(&problem));
    ASSERT_TRUE(store.save(&problem));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no leftovers
    EXPECT_TRUE(again.load(&problem));
}

TEST(LoginLimiter, WaitsGrowAfterTheFreeFailuresAndASuccessForgets)
{
    LoginLimiter limiter;
    qint64 now = 1000;
    for (int i = 0; i < LoginLimiter::kFreeFailures - 1; ++i) {
        limiter.failed("10.0.0.1", now);
        EXPECT_EQ(limiter.waitMs("10.0.0.1", now), 0);
    }
    limiter.failed("10.0.0.1", now);
    EXPECT_EQ(limiter.waitMs("10.0.0.1", now), LoginLimiter::kFirstWaitMs);
    EXPECT_EQ(limiter.waitMs("10.0.0.2", now), 0); // others are not held up
    now += LoginLimiter::kFirstWaitMs;
    limiter.failed("10.0.0.1", now);
    EXPECT_EQ(limiter.waitMs("10.0.0.1", now), 2 * LoginLimiter::kFirstWaitMs);
    for (int i = 0; i < 40; ++i)
        limiter.failed("10.0.0.1", now);
    EXPECT_EQ(limiter.waitMs("10.0.0.1", now), LoginLimiter::kLongestWaitMs);
    limiter.succeeded("10.0.0.1");
    EXPECT_EQ(limiter.waitMs("10.0.0.1", now), 0);
}

TEST(RequestBudget, ABurstThenTheSteadyRate)
{
    RequestBudget budget(100, 10);
    int taken = 0;
    for (int i = 0; i < 50; ++i)
        taken += budget.take(0);
    EXPECT_EQ(taken, 10);
    EXPECT_FALSE(budget.take(5));
    EXPECT_TRUE(budget.take(10)); // one more after 10 ms at 100 a second
    EXPECT_FALSE(budget.take(5)); // time never runs backwards
}

TEST(SessionTable, SessionsExpireAndAreReadFromTheirCookieOnly)
{
    SessionTable sessions;
    const QByteArray id = sessions.create(Identity{"ada", Role::Administrator, false}, 0);
    EXPECT_TRUE(sessions.find(id, SessionTable::kIdleMs - 1));
    EXPECT_TRUE(sessions.find(id, 2 * SessionTable::kIdleMs - 2)); // renewed by the last use
    EXPECT_FALSE(sessions.find(id, 4 * SessionTable::kIdleMs));
    const QByteArray other = sessions.create(Identity{"otto", Role::Operator, false}, 0);
    sessions.removeUser("otto");
    EXPECT_FALSE(sessions.find(other, 1));
    EXPECT_FALSE(sessions.find("", 1));

    EXPECT_EQ(SessionTable::fromCookieHeader("a=1; sonaro_session=abc; b=2"), "abc");
    EXPECT_EQ(SessionTable::fromCookieHeader("xsonaro_session=abc"), "");
    EXPECT_TRUE(SessionTable::setCookie("abc", true).contains("Secure")); // with TLS
    EXPECT_TRUE(SessionTable::setCookie({}, false).contains("Max-Age=0"));
}

TEST(SetMerger, ABurstKeepsTheFirstAndTheNewestAndTellsTheOthers)
{
    QList<std::pair<double, quint64>> applied;
    QList<quint64> superseded;
    const auto apply = [&](const ChangeId&, double v, quint64 t) { applied.append({v, t}); };
    SetMerger merger(
        apply, [&](quint64 t, double) { superseded.append(t); }, nullptr, 30);
    const ChangeId gain{1, SettingId::InputGain, 0};
    const ChangeId mute{1, SettingId::InputMute, 0};
    for (quint64 t = 1; t <= 5; ++t)
        merger.submit(gain, double(t), t);
    merger.submit(mute, 1, 9); // another setting does not wait
    ASSERT_EQ(applied.size(), 2);
    EXPECT_EQ(applied[0], std::make_pair(1.0, quint64(1)));
    EXPECT_EQ(applied[1], std::make_pair(1.0, quint64(9)));
    EXPECT_EQ(superseded, QList<quint64>({2, 3, 4}));
    EXPECT_EQ(merger.waiting(), 1);
    ASSERT_TRUE(sonaro::testing::waitFor([&] { return applied.size() == 3; }, 1000));
    EXPECT_EQ(applied[2], std::make_pair(5.0, quint64(5)));
    EXPECT_EQ(merger.waiting(), 0);
}
