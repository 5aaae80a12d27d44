// sonaro: the desktop control program.
//
//   sonaro [--data-dir DIR] [--bind ADDR] [--demo [--units N]] [--screenshots DIR]
//
// --demo starts a virtual unit (a chain of N with --units) on 127.0.0.2, binds the link to
// 127.0.0.1 and connects to it, with files in a demo data directory of its own, so the operator's
// ip.ini, database and state file are never touched. --screenshots does the same in a temporary
// data directory, saves the first-run screen, every page and editor in both languages and the main
// page at three sizes into DIR and quits (Screenshots.h).

#include "Screenshots.h"

#include "mixer/SonaroCore.h"
#include "model/Version.h"
#include "store/DataDirectory.h"
#include "store/DataDirectoryLock.h"
#include "ui/Desktop.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/ThemedMessageBox.h"
#include "ui/kit/Theme.h"
#include "unit/VirtualUnit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
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
// The exit status of a command line that cannot be used.
constexpr int kExitUsage = 2;
// The exit status when another program holds the data directory.
constexpr int kExitDataDirectoryInUse = 3;
} // namespace

int main(int argc, char** argv)
{
    // A name whose bytes would not survive decoding would name another directory: refused.
    for (int i = 1; i < argc; ++i)
        if (QFile::encodeName(QFile::decodeName(argv[i])) != QByteArray(argv[i])) {
            std::fprintf(stderr,
                         "sonaro: argument %d is not valid text in this system's encoding: as a "
                         "file name it would name another file\n",
                         i);
            return kExitUsage;
        }
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
    const QCommandLineOption units(
        QStringLiteral("units"),
        QStringLiteral("With --demo: the virtual unit plays a chain of N units (1 to 64)."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Save every page in both languages as PNG files into DIR, then quit."),
        QStringLiteral("DIR"));
    // The picture run's second pass, at a device pixel ratio of 2 (Screenshots.cpp).
    QCommandLineOption screenshotRatio(QStringLiteral("screenshot-ratio"), QString(),
                                       QStringLiteral("N"), QStringLiteral("1"));
    screenshotRatio.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({dataDir, bind, demo, units, screenshots, screenshotRatio});
    parser.process(app);

    ui::Theme::applyTo(app);

    // A named data directory is made one level deep at most, as sonaroctl and the server do.
    if (parser.isSet(dataDir)) {
        if (const QString problem = DataDirectory::prepareNamed(parser.value(dataDir));
            !problem.isEmpty()) {
            std::fprintf(stderr, "sonaro: %s\n", qPrintable(problem));
            return kExitUsage;
        }
    }
    bool unitsValid = false;
    const int unitCount = parser.value(units).toInt(&unitsValid);
    if (!unitsValid || unitCount < 1 || unitCount > UnitTable::kMaxUnits) {
        std::fprintf(stderr, "sonaro: --units takes a number from 1 to %d\n", UnitTable::kMaxUnits);
        return kExitUsage;
    }

    CoreOptions options;
    options.dataDirectory = parser.value(dataDir);
    options.bindAddress = parser.value(bind);
    options.logFile = QString::fromLatin1(kEventLogFileName); // sonaro.log in the data directory
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
        unitOptions.unitCount = unitCount;
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

    ui::Desktop desktop(options);
    SonaroCore& core = desktop.core();
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
    desktop.start();
    ui::MainWindow& window = desktop.window();
    ui::MainView* view = &desktop.view();
    ui::LanguageSwitcher& language = desktop.language();
    // Without a window manager "maximised" means nothing; take the screen's working area.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    if (shooting) {
        const QString dir = parser.value(screenshots);
        if (!QDir().mkpath(dir)) {
            qWarning("sonaro: cannot create %s", qPrintable(dir));
            return 1;
        }
        screenshots::start(
            {core, language, window, *view, dir, unitOptions.adminName, unitOptions.adminPassword,
             parser.value(screenshotRatio) == QStringLiteral("2") ? 2 : 1, unitCount});
        return app.exec();
    }
    window.showMaximized();
    if (unit) {
        // Log in to the demo unit as its administrator, as Connect would after the dialogs.
        QTimer::singleShot(0, &core, [&core, &unitOptions] {
            core.session().storeLogin(unitOptions.adminName, unitOptions.adminPassword);
            core.session().sendLogin();
        });
    }
    return app.exec();
}
