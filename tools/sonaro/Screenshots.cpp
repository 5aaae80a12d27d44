#include "Screenshots.h"

#include "dsp/EqModel.h"
#include "mixer/SonaroCore.h"
#include "ui/EventLogDock.h"
#include "ui/InputEqWindow.h"
#include "ui/LanguageSwitcher.h"
#include "ui/LimiterWindow.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/OutputEqWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QProcess>
#include <QTimer>

#include <memory>

namespace sonaro::screenshots {

namespace {

// Time the unit gets to log in, then to stream before the first picture.
constexpr int kLoginWaitMs = 10000;
constexpr int kSettleMs = 1500;
// The ratio-2 run starts a program of its own; it gets this long.
constexpr int kSecondRunMs = 120000;
const QSize kPictureSize(1920, 1080);
const QSize kSmallSize(1280, 800);

class Shooter
{
public:
    explicit Shooter(const Run& run) : m_run(run) {}

    void save(QWidget* w, const QString& name)
    {
        const QString path = m_run.directory + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!w || !w->grab().save(path)) {
            qWarning("sonaro: could not save %s", qPrintable(path));
            m_saved = false;
        }
    }

    // The main window at a size, settled.
    void saveWindowAt(const QSize& size, const QString& name)
    {
        m_run.window.resize(size);
        QCoreApplication::processEvents();
        save(&m_run.window, name);
    }

    // An editor as a window of its own.
    void saveEditor(QWidget* w, const QString& name)
    {
        if (w) {
            w->resize(w->sizeHint().expandedTo(QSize(1200, 760)));
            w->show();
            QCoreApplication::processEvents();
        }
        save(w, name);
        if (w) w->hide();
    }

    // Chinese first, as the program starts, then English; the language is back at the end.
    template <typename Shoot> void inBothLanguages(Shoot shoot)
    {
        for (const char* lang : {"zh", "en"}) {
            shoot(QString::fromLatin1(lang) + QLatin1Char('-'));
            m_run.language.toggle();
            QCoreApplication::processEvents();
        }
    }

    void firstRun()
    {
        inBothLanguages([this](const QString& prefix) {
            m_run.view.showChannelsPage();
            saveWindowAt(kPictureSize, prefix + QStringLiteral("first-run"));
        });
    }

    void connected()
    {
        ui::MainView& view = m_run.view;
        if (m_run.ratio == 2) {
            // 1920×1080 at ratio 2: the pixels of a 4K screen.
            inBothLanguages([this, &view](const QString& prefix) {
                view.showChannelsPage();
                saveWindowAt(kPictureSize, prefix + QStringLiteral("main-3840x2160"));
            });
            return;
        }
        showEqAtWork();
        inBothLanguages([this, &view](const QString& prefix) {
            view.showChannelsPage();
            saveWindowAt(kSmallSize, prefix + QStringLiteral("main-1280x800"));
            saveWindowAt(kPictureSize, prefix + QStringLiteral("main-1920x1080"));
            save(&m_run.window, prefix + QStringLiteral("channels"));
            // The event log beside the strips: what the connection and the operator did.
            ui::EventLogDock* log = m_run.window.eventLogDock();
            log->show();
            QCoreApplication::processEvents();
            save(&m_run.window, prefix + QStringLiteral("event-log"));
            log->hide();
            QCoreApplication::processEvents();
            view.showMatrixPage();
            QCoreApplication::processEvents();
            save(&m_run.window, prefix + QStringLiteral("matrix"));
            view.showSystemPage();
            QCoreApplication::processEvents();
            save(&m_run.window, prefix + QStringLiteral("system"));
            view.openInputEq(0);
            saveEditor(view.inputEqEditor(), prefix + QStringLiteral("input-eq"));
            view.openOutputEq(0);
            saveEditor(view.outputEqEditor(), prefix + QStringLiteral("output-eq"));
            ui::LimiterWindow limiter(m_run.core, 0, &view);
            saveEditor(&limiter, prefix + QStringLiteral("limiter"));
        });
        view.showChannelsPage();
    }

    // A chain of units: the picker names them and shows the second one.
    void chain()
    {
        m_run.core.renameUnit(2, QStringLiteral("Gallery"));
        m_run.core.renameUnit(3, QStringLiteral("Balcony"));
        m_run.view.showUnit(2);
        inBothLanguages([this](const QString& prefix) {
            m_run.view.showChannelsPage();
            saveWindowAt(kPictureSize, prefix + QStringLiteral("units"));
        });
    }

    bool saved() const { return m_saved; }

private:
    // The editors show an EQ at work: on input 1 a low shelf, a boost, a narrow cut and a high
    // shelf between both filters; on output 1 a few bands; limiter 1 at 4:1. Only the pictures'
    // record holds them; nothing is sent.
    void showEqAtWork()
    {
        UnitRecord& r = m_run.core.table().current();
        setInputEqBand(r, 0, 0, EqBand{120.0, 4.0, 0.7, EqBandType::LowShelf});
        setInputEqBand(r, 0, 1, EqBand{400.0, 5.0, 1.4, EqBandType::Peak});
        setInputEqBand(r, 0, 2, EqBand{1000.0, -12.0, 4.0, EqBandType::Peak});
        setInputEqBand(r, 0, 3, EqBand{6000.0, -6.0, 0.7, EqBandType::HighShelf});
        r.highPassIndex[0] = 3;
        r.lowPassIndex[0] = 8;
        r.outputEqAt(0, kEqGain, 2) = 3.5;
        r.outputEqAt(0, kEqGain, 7) = -6.0;
        r.outputEqAt(0, kEqGain, 12) = 2.5;
        r.limiterThreshold[0] = -24.0;
        r.limiterRatio[0] = 4.0;
    }

    Run m_run;
    bool m_saved = true;
};

// The ratio-2 pictures come from a second run of the program, scaled by Qt itself, so that every
// widget paints and caches at the ratio as it would on a 4K screen.
void runAtRatioTwo(const Run& run, const std::shared_ptr<Shooter>& shooter)
{
    auto* process = new QProcess(&run.window);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const auto finish = [shooter, process](bool ok) {
        process->disconnect();
        QCoreApplication::exit(shooter->saved() && ok ? 0 : 1);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [finish](int code, QProcess::ExitStatus status) {
                         finish(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError) {
        qWarning("sonaro: the ratio-2 picture run did not start or did not finish");
        finish(false);
    });
    QTimer::singleShot(kSecondRunMs, process, [process] { process->kill(); });
    process->start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--screenshots"), run.directory,
                    QStringLiteral("--screenshot-ratio"), QStringLiteral("2")});
}

} // namespace

void start(const Run& run)
{
    auto shooter = std::make_shared<Shooter>(run);
    run.window.resize(kPictureSize);
    run.window.show();
    QTimer::singleShot(0, &run.window, [run, shooter] {
        if (run.ratio == 1 && run.units == 1) shooter->firstRun();
        // Log in to the embedded unit as its administrator, as Connect would after the dialogs.
        run.core.session().storeLogin(run.adminName, run.adminPassword);
        run.core.session().sendLogin();

        // Once the unit has logged in, let it stream for a moment; give up on the login after a
        // bounded wait and take the pictures as they are.
        auto* poll = new QTimer(&run.window);
        QElapsedTimer waited;
        waited.start();
        QObject::connect(poll, &QTimer::timeout, &run.window, [run, shooter, poll, waited] {
            // A chain is pictured once every unit has been read.
            const bool connected =
                run.core.table().current().connected && run.core.delivery().isStateRead(run.units);
            if (!connected && waited.elapsed() < kLoginWaitMs) return;
            poll->stop();
            if (!connected) qWarning("sonaro: the unit did not log in; pictures show it offline");
            QTimer::singleShot(kSettleMs, poll, [run, shooter] {
                if (run.units > 1) {
                    shooter->chain();
                    QCoreApplication::exit(shooter->saved() ? 0 : 1);
                    return;
                }
                shooter->connected();
                if (run.ratio == 1)
                    runAtRatioTwo(run, shooter);
                else
                    QCoreApplication::exit(shooter->saved() ? 0 : 1);
            });
        });
        poll->start(100);
    });
}

} // namespace sonaro::screenshots
