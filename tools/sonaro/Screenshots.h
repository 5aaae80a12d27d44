#pragma once

#include <QString>

namespace sonaro {
class SonaroCore;
}
namespace sonaro::ui {
class LanguageSwitcher;
class MainWindow;
class MainView;
} // namespace sonaro::ui

// The picture run of `sonaro --screenshots DIR`: on a fresh data directory with the embedded
// virtual unit, it saves the first-run screen before the login, then the main page at 1280×800
// and 1920×1080, every page and editor, all in both languages; at a device pixel ratio of 2
// (a second run of the program with QT_SCALE_FACTOR=2) the main page at 3840×2160 pixels. When
// every file is saved the application exits with 0, else with 1.
namespace sonaro::screenshots {

struct Run
{
    SonaroCore& core;
    ui::LanguageSwitcher& language;
    ui::MainWindow& window;
    ui::MainView& view;
    QString directory;
    QString adminName;
    QString adminPassword;
    // 1: the full run (it starts the ratio-2 run itself); 2: only the ratio-2 pictures.
    int ratio = 1;
    // Above 1 the embedded unit plays a chain, and only the unit picker's pictures are taken
    // (units-LANG.png: unit 2 shown, its meters without live levels).
    int units = 1;
};

// Starts the run on the event loop; the caller runs the loop.
void start(const Run& run);

} // namespace sonaro::screenshots
