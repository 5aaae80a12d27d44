#pragma once

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>
#include <functional>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sonaro::testing {

// Runs body in a forked child and returns the child's exit status (-1 when it did not end
// normally). With asUnprivileged the child first gives up root's rights for the "nobody"
// account, so that file permissions hold for it as they do for an operator: run as root, a test
// could write into any read-only directory. The body reports what went wrong on stderr and returns
// 0 when all went well; test assertions inside it would never reach the parent.
inline int runInChild(const std::function<int()>& body, bool asUnprivileged = false)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        constexpr uid_t kNobody = 65534;
        if (asUnprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(120);
        const int result = body();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(result);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Set in a process that runTestInChild() started.
inline constexpr char kChildTestVariable[] = "SONARO_CHILD_TEST";
inline bool isChildTest()
{
    return qEnvironmentVariableIsSet(kChildTestVariable);
}

// Runs one test of this binary (gtest name "Suite.Test") in a fresh process and returns its exit
// status (0: the test passed; -1: it did not end normally in time). Unlike runInChild() this never
// copies the running process, whose other threads may hold locks a copy would wait on forever:
// use it for bodies that run the event loop, sockets and all. The test itself skips unless
// isChildTest(). asUnprivileged as for runInChild().
inline int runTestInChild(const QString& testName, bool asUnprivileged = false)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildTestVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    if (asUnprivileged && ::geteuid() == 0) {
        child.setChildProcessModifier([] {
            constexpr uid_t kNobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(120);
        });
    }
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + testName});
    if (!child.waitForStarted(10000)) return -1;
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished(5000);
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

// In a child body: prints what failed and yields the failure status when the condition is false.
#define SONARO_CHILD_CHECK(condition)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);           \
            return 1;                                                                              \
        }                                                                                          \
    } while (false)

} // namespace sonaro::testing
