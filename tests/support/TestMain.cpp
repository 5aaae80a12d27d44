#include <QCoreApplication>
#ifdef SONARO_TEST_GUI_APP
#include <QApplication>
#endif
#include <gmock/gmock.h>

// Every test binary runs inside a Qt application object, so that sockets, timers and the
// event loop behave as in the programs.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef SONARO_TEST_GUI_APP
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
