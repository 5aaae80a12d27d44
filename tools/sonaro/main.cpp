// sonaro: the desktop control program.
//
//   sonaro [--data-dir DIR] [--bind ADDR] [--demo]
//
// --demo starts a virtual unit on 127.0.0.2, binds the link to 127.0.0.1 and connects to it, with
// files in a demo data directory of its own, so the operator's ip.ini, database and state file
// are never touched.

#include "mixer/SonaroCore.h"
#include "model/Version.h"
#include "store/DataDirectory.h"
#include "ui/InputEqWindow.h"
#include "ui/LanguageSwitcher.h"
#include "ui/LimiterWindow.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxOperator.h"
#include "ui/OutputEqWindow.h"
#include "ui/kit/Theme.h"
#include "unit/VirtualUnit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

using namespace sonaro;

namespace {
constexpr char kDemoUnitAddress[] = "127.0.0.2";
constexpr char kDemoBindAddress[] = "127.0.0.1";
constexpr quint16 kDemoPort = 5000;
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
    if (parser.isSet(demo)) {
        if (options.dataDirectory.isEmpty())
            options.dataDirectory =
                QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                QStringLiteral("/demo");
        QDir().mkpath(options.dataDirectory);
        options.bindAddress = QString::fromLatin1(kDemoBindAddress);
        options.deviceAddress = QString::fromLatin1(kDemoUnitAddress);
        options.port = kDemoPort;
        unitOptions.address = QHostAddress(QString::fromLatin1(kDemoUnitAddress));
        unitOptions.port = kDemoPort;
        unit = std::make_unique<VirtualUnit>(unitOptions);
        if (!unit->start()) {
            qWarning("sonaro: the demo unit could not bind %s:%u", kDemoUnitAddress, kDemoPort);
            unit.reset();
        }
    }

    ui::MessageBoxOperator op;
    SonaroCore core(op, options);
    ui::LanguageSwitcher language(core.table());
    language.load();
    language.setLanguage(Language::Chinese); // the program starts in Chinese
    core.start();

    auto* view = new ui::MainView(core);
    op.setParentWidget(view);
    ui::MainWindow window(view, language);
    // Without a window manager "maximised" means nothing; take the screen's working area.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();

    if (unit) {
        // Log in to the demo unit as its administrator, as Connect would after the dialogs.
        QTimer::singleShot(0, &core, [&core, &unitOptions] {
            core.session().storeLogin(unitOptions.adminName, unitOptions.adminPassword);
            core.session().sendLogin();
        });
    }
    if (parser.isSet(screenshots)) {
        const QString dir = parser.value(screenshots);
        QDir().mkpath(dir);
        // Let the unit log in and stream for a moment, then visit every page in both languages.
        auto shoot = [&window, dir](const QString& name) {
            window.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
        };
        QTimer::singleShot(3000, &window, [&, shoot, dir] {
            for (const char* lang : {"zh", "en"}) {
                const QString prefix = QString::fromLatin1(lang) + QLatin1Char('-');
                view->showChannelsPage();
                QCoreApplication::processEvents();
                shoot(prefix + QStringLiteral("channels"));
                view->showMatrixPage();
                QCoreApplication::processEvents();
                shoot(prefix + QStringLiteral("matrix"));
                view->showSystemPage();
                QCoreApplication::processEvents();
                shoot(prefix + QStringLiteral("system"));
                // The editors, each as its own window.
                auto grabWindow = [&dir](QWidget* w, const QString& name) {
                    w->resize(w->sizeHint().expandedTo(QSize(1200, 760)));
                    w->show();
                    QCoreApplication::processEvents();
                    w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
                    w->hide();
                };
                view->openInputEq(0);
                grabWindow(view->inputEqEditor(), prefix + QStringLiteral("input-eq"));
                view->openOutputEq(0);
                grabWindow(view->outputEqEditor(), prefix + QStringLiteral("output-eq"));
                ui::LimiterWindow limiter(core, 0, view);
                grabWindow(&limiter, prefix + QStringLiteral("limiter"));
                language.toggle();
                QCoreApplication::processEvents();
            }
            view->showChannelsPage();
            window.close();
        });
    }
    return app.exec();
}
