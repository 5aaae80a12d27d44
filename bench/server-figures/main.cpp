// sonaro-server-figures: starts sonaro-server --demo (the program's core logged in to its embedded
// virtual unit) on 127.0.0.1 and measures, with 1 and with 50 API clients, the time from a set
// request to its V frame at the unit (the unit's frame log), and the server's CPU while 50 clients
// receive meters at 10 Hz. Prints figures; asserts nothing.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Polls at a fifth of a millisecond without taking a core from the server.
        QThread::usleep(200);
    }
    return done();
}

// The frames the unit logged since the last call (one JSON object a line).
class FrameLog
{
public:
    explicit FrameLog(const QString& path) : m_file(path) {}
    QList<QByteArray> newFrames()
    {
        QList<QByteArray> frames;
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return frames;
        m_pending += m_file.readAll();
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            frames << QJsonDocument::fromJson(m_pending.left(end))
                          .object()
                          .value("frame")
                          .toString()
                          .toLatin1();
            m_pending.remove(0, end + 1);
        }
        return frames;
    }

private:
    QFile m_file;
    QByteArray m_pending;
};

// A V frame "%V,UU,GGGGGGGGGGGGGGGG,..." carrying input 1 at db (a gain byte is dB + 50).
bool carriesInputOneGain(const QByteArray& frame, int db)
{
    const QList<QByteArray> fields = frame.split(',');
    return frame.startsWith("%V,") && fields.size() > 2 &&
           fields[2].left(2).toInt(nullptr, 16) == db + 50;
}

double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    // After the name: state is field 3, utime 14 and stime 15 (counted from 1 with pid and name).
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

struct Client
{
    std::unique_ptr<QWebSocket> socket = std::make_unique<QWebSocket>();
    bool identified = false;
    int levels = 0;
};

std::unique_ptr<Client> connectClient(const QString& url, const QByteArray& cookie, int levelsRate)
{
    auto client = std::make_unique<Client>();
    Client* c = client.get();
    QObject::connect(
        c->socket.get(), &QWebSocket::textMessageReceived, [c, levelsRate](const QString& text) {
            const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
            const QString op = m.value("op").toString();
            if (op == QLatin1String("hello")) {
                QJsonObject identify{{"op", "identify"},
                                     {"schemaVersion", 1},
                                     {"events", levelsRate > 0
                                                    ? QJsonArray{"changes", "deliveries", "levels"}
                                                    : QJsonArray{"changes", "deliveries"}}};
                if (levelsRate > 0) identify.insert("levelsRate", levelsRate);
                c->socket->sendTextMessage(
                    QString::fromUtf8(QJsonDocument(identify).toJson(QJsonDocument::Compact)));
            } else if (op == QLatin1String("identified")) {
                c->identified = true;
            } else if (m.value("type") == QLatin1String("levels")) {
                ++c->levels;
            }
        });
    QNetworkRequest request(QUrl(url.startsWith("https") ? QString(url).replace(0, 5, "wss")
                                                         : QString(url).replace(0, 4, "ws"))
                                .resolved(QUrl("/api/ws")));
    request.setRawHeader("Cookie", cookie);
    c->socket->open(request);
    return client;
}

QByteArray login(const QString& url)
{
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(QUrl(url + "/login"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply* reply = manager.post(request, R"({"user": "demo", "password": "demo"})");
    waitUntil([reply] { return reply->isFinished(); }, 10000);
    const QByteArray cookie = reply->rawHeader("Set-Cookie");
    delete reply;
    return cookie.left(cookie.indexOf(';'));
}

void latency(FrameLog& log, const QString& url, const QByteArray& cookie, int extraClients)
{
    std::vector<std::unique_ptr<Client>> others;
    for (int i = 0; i < extraClients; ++i)
        others.push_back(connectClient(url, cookie, 10));
    auto setter = connectClient(url, cookie, 0);
    waitUntil(
        [&] {
            return setter->identified &&
                   std::all_of(others.begin(), others.end(), [](auto& c) { return c->identified; });
        },
        10000);
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const int db = -40 + i % 40;
        const QJsonObject set{{"op", "request"},
                              {"id", QString::number(i)},
                              {"type", "set"},
                              {"key", "input.1.gain"},
                              {"value", db}};
        log.newFrames();
        QElapsedTimer timer;
        timer.start();
        setter->socket->sendTextMessage(
            QString::fromUtf8(QJsonDocument(set).toJson(QJsonDocument::Compact)));
        bool arrived = false;
        if (waitUntil(
                [&] {
                    const QList<QByteArray> frames = log.newFrames();
                    arrived = arrived ||
                              std::any_of(frames.begin(), frames.end(), [db](const QByteArray& f) {
                                  return carriesInputOneGain(f, db);
                              });
                    return arrived;
                },
                2000))
            ms.push_back(timer.nsecsElapsed() / 1e6);
        // Past the merge interval, so that every request goes on at once.
        waitUntil([] { return false; }, 45);
    }
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("server set request to its V frame at the unit, %d client%s: no frame came\n",
                    extraClients + 1, extraClients ? "s" : "");
        return;
    }
    std::printf("server set request to its V frame at the unit, %d client%s: median %.2f ms, 99th "
                "percentile %.2f ms\n",
                extraClients + 1, extraClients ? "s" : "", ms[ms.size() / 2],
                ms[ms.size() * 99 / 100]);
}

void meterCpu(QProcess& server, const QString& url, const QByteArray& cookie)
{
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 50; ++i)
        clients.push_back(connectClient(url, cookie, 10));
    waitUntil(
        [&] {
            return std::all_of(clients.begin(), clients.end(),
                               [](auto& c) { return c->identified; });
        },
        10000);
    waitUntil([] { return false; }, 500);
    const double cpu0 = cpuSeconds(server.processId());
    int levels0 = 0;
    for (auto& c : clients)
        levels0 += c->levels;
    QElapsedTimer timer;
    timer.start();
    waitUntil([] { return false; }, 10000);
    const double seconds = timer.elapsed() / 1000.0;
    int levels = -levels0;
    for (auto& c : clients)
        levels += c->levels;
    std::printf(
        "server CPU (with its demo unit), 50 clients with meters at 10 Hz: %.1f %% of a core (%.1f "
        "meter frames a second each)\n",
        100.0 * (cpuSeconds(server.processId()) - cpu0) / seconds, levels / seconds / 50);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sonaro-server-figures SERVER-PROGRAM\n");
        return 2;
    }
    QTemporaryDir folder;
    const QString logPath = folder.filePath("unit-frames.log");
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QString::fromLocal8Bit(argv[1]),
                 {"--demo", "--listen", "127.0.0.1:0", "--demo-unit-log", logPath});
    QByteArray output;
    static const QRegularExpression listening(QStringLiteral("listening on (\\S+)/"));
    QString url;
    waitUntil(
        [&] {
            output += server.readAllStandardOutput();
            const auto m = listening.match(QString::fromUtf8(output));
            if (m.hasMatch()) url = m.captured(1);
            return !url.isEmpty();
        },
        10000);
    if (url.isEmpty()) {
        std::fprintf(stderr, "sonaro-server-figures: the server did not start\n");
        return 1;
    }
    const QByteArray cookie = login(url);
    // The demo logs in and reads the unit's state first.
    waitUntil([] { return false; }, 2000);
    FrameLog log(logPath);
    latency(log, url, cookie, 0);
    latency(log, url, cookie, 49);
    meterCpu(server, url, cookie);
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
