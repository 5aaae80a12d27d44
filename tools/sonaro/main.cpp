// sonaro: the desktop control program.
//
//   sonaro [--data-dir DIR] [--bind ADDR] [--demo] [--screenshots DIR]
//
// --demo starts a virtual unit on 127.0.0.2, binds the link to 127.0.0.1 and connects to it, with
// files in a demo data directory of its own, so the operator's ip.ini, database and state file
// are never touched. --screenshots does the same in a temporary data directory, saves every page
// and editor in both languages into DIR and quits.

#include "dsp/EqModel.h"
#include "mixer/SonaroCore.h"
#include "model/Version.h"
#include "store/DataDirectory.h"
#include "store/DataDirectoryLock.h"
#include "ui/InputEqWindow.h"
#include "ui/LanguageSwitcher.h"
#include "ui/LimiterWindow.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxOperator.h"
#include "ui/OutputEqWindow.h"
#include "ui/ThemedMessageBox.h"
#include "ui/kit/Theme.h"
#include "unit/VirtualUnit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace sonaro;

namespace {
constexpr char kDemoUnitAddress[] = "127.0.0.2";
constexpr char kDemoBindAddress[] = "127.0.0.1";
constexpr quint16 kDemoPort = 5000;
// Ports tried after kDemoPort when another program holds it.
constexpr int kDemoPortTries = 20;
// Time the unit gets to log in, then to stream before the first picture.
constexpr int kLoginWaitMs = 10000;
constexpr int kScreenshotSettleMs = 1500;
// The exit status when another program holds the data directory.
constexpr int kExitDataDirectoryInUse = 3;
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonaro"));
    QApplication::setOrganizationName(QStringLiteral("Sonaro"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Control software for networked automatic microphone mixers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("Keep the database, ip.ini and data.ini in DIR."), QStringLiteral("DIR"));
    const QCommandLineOption bind(QStringLiteral("bind"),
                                  QStringLiteral("Bind the link to this local address."),
                                  QStringLiteral("ADDR"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run against a virtual unit on 127.0.0.2."));
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Save every page in both languages as PNG files into DIR, then quit."),
        QStringLiteral("DIR"));
    parser.addOptions({dataDir, bind, demo, screenshots});
    parser.process(app);

    ui::Theme::applyTo(app);

    CoreOptions options;
    options.dataDirectory = parser.value(dataDir);
    options.bindAddress = parser.value(bind);
    std::unique_ptr<VirtualUnit> unit;
    VirtualUnitOptions unitOptions;
    const bool shooting = parser.isSet(screenshots);
    std::unique_ptr<QTemporaryDir> shotData; // a picture run's data files, removed at the end
    if (parser.isSet(demo) || shooting) {
        if (shooting && options.dataDirectory.isEmpty()) {
            shotData = std::make_unique<QTemporaryDir>();
            options.dataDirectory = shotData->path();
        }
        if (options.dataDirectory.isEmpty())
            options.dataDirectory =
                QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                QStringLiteral("/demo");
        QDir().mkpath(options.dataDirectory);
        options.bindAddress = QString::fromLatin1(kDemoBindAddress);
        options.deviceAddress = QString::fromLatin1(kDemoUnitAddress);
        unitOptions.address = QHostAddress(QString::fromLatin1(kDemoUnitAddress));
        for (int i = 0; i < kDemoPortTries && !unit; ++i) {
            unitOptions.port = quint16(kDemoPort + i);
            unit = std::make_unique<VirtualUnit>(unitOptions);
            if (!unit->start()) unit.reset();
        }
        if (unit) {
            options.port = unitOptions.port;
        } else {
            qWarning("sonaro: the demo unit could not bind %s", kDemoUnitAddress);
            if (shooting) return 1;
        }
    }

    ui::MessageBoxOperator op;
    SonaroCore core(op, options);
    ui::LanguageSwitcher language(core.table());
    language.load();
    language.setLanguage(Language::Chinese); // the program starts in Chinese
    // One program per data directory, settled before anything there is read or written.
    DataDirectoryLock lock(core.dataDirectory().path());
    if (lock.acquire() == DataDirectoryLock::Result::InUse) {
        const QString refusal = lock.refusal();
        std::fprintf(stderr, "sonaro: %s\n", qPrintable(refusal));
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
            ui::ThemedMessageBox(Severity::Error, refusal, ui::ThemedMessageBox::Buttons::Ok)
                .exec();
        return kExitDataDirectoryInUse;
    }
    core.start();

    auto* view = new ui::MainView(core);
    op.setParentWidget(view);
    ui::MainWindow window(view, language);
    // Without a window manager "maximised" means nothing; take the screen's working area.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    if (shooting) {
        window.resize(1920, 1080); // the size of the pictures, with or without a screen
        window.show();
    } else {
        window.showMaximized();
    }

    if (unit) {
        // Log in to the demo unit as its administrator, as Connect would after the dialogs.
        QTimer::singleShot(0, &core, [&core, &unitOptions] {
            core.session().storeLogin(unitOptions.adminName, unitOptions.adminPassword);
            core.session().sendLogin();
        });
    }
    if (shooting) {
        const QString dir = parser.value(screenshots);
        if (!QDir().mkpath(dir)) {
            qWarning("sonaro: cannot create %s", qPrintable(dir));
            return 1;
        }
        // Every page and editor in both languages; the status says whether every file was saved.
        auto shootAll = [&, dir] {
            bool saved = true;
            auto save = [&saved, &dir](QWidget* w, const QString& name) {
                const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
                if (!w || !w->grab().save(path)) {
                    qWarning("sonaro: could not save %s", qPrintable(path));
                    saved = false;
                }
            };
            // The editors, each as its own window.
            auto saveWindow = [&save](QWidget* w, const QString& name) {
                if (w) {
                    w->resize(w->sizeHint().expandedTo(QSize(1200, 760)));
                    w->show();
                    QCoreApplication::processEvents();
                }
                save(w, name);
                if (w) w->hide();
            };
            // The editors show an EQ at work: on input 1 a low shelf, a boost, a narrow cut and a
            // high shelf between both filters; on output 1 a few bands; limiter 1 at 4:1. Only the
            // pictures' record holds them; nothing is sent.
            UnitRecord& r = core.table().current();
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
            for (const char* lang : {"zh", "en"}) {
                const QString prefix = QString::fromLatin1(lang) + QLatin1Char('-');
                view->showChannelsPage();
                QCoreApplication::processEvents();
                save(&window, prefix + QStringLiteral("channels"));
                view->showMatrixPage();
                QCoreApplication::processEvents();
                save(&window, prefix + QStringLiteral("matrix"));
                view->showSystemPage();
                QCoreApplication::processEvents();
                save(&window, prefix + QStringLiteral("system"));
                view->openInputEq(0);
                saveWindow(view->inputEqEditor(), prefix + QStringLiteral("input-eq"));
                view->openOutputEq(0);
                saveWindow(view->outputEqEditor(), prefix + QStringLiteral("output-eq"));
                ui::LimiterWindow limiter(core, 0, view);
                saveWindow(&limiter, prefix + QStringLiteral("limiter"));
                language.toggle();
                QCoreApplication::processEvents();
            }
            view->showChannelsPage();
            // Quit even when a message box or an editor is still a top-level window.
            QCoreApplication::exit(saved ? 0 : 1);
        };
        // Once the unit has logged in, let it stream for a moment; give up on the login after a
        // bounded wait and take the pictures as they are.
        auto* poll = new QTimer(&window);
        QElapsedTimer waited;
        waited.start();
        QObject::connect(poll, &QTimer::timeout, &window, [&core, poll, waited, shootAll] {
            const bool connected = core.table().current().connected;
            if (!connected && waited.elapsed() < kLoginWaitMs) return;
            poll->stop();
            if (!connected) qWarning("sonaro: the unit did not log in; pictures show it offline");
            QTimer::singleShot(kScreenshotSettleMs, poll, shootAll);
        });
        poll->start(100);
    }
    return app.exec();
}
