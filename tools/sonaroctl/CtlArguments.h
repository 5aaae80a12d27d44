#pragma once

#include "SettingWords.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace sonaroctl {

enum class Command
{
    None,
    Discover,
    Login,
    Show,
    Set,
    PresetSave,
    PresetLoad,
    PresetShow,
    Monitor,
    Watch,
    FactoryRestore,
    AddressSet,
    AccountChange,
    Name,
    EqCopy,
    EqReset,
    GroupShow,
    GroupSet // set and clear (no members, no links)
};

// Exit statuses of sonaroctl.
enum ExitStatus : int
{
    kExitSuccess = 0,
    kExitFailure = 1,
    kExitUsage = 2,
    kExitRefused = 3,
    kExitNoAnswer = 4
};

struct CtlSettings
{
    QString dataDir;
    QString bindAddress;
    QString deviceAddress;
    int port = -1; // -1: ip.ini's
    int unit = 1;  // --unit: the unit of a cascade every command works on
    QString user = QStringLiteral("admin");
    QString password;
    bool passwordGiven = false;
    bool json = false;
    bool yes = false;
    bool anyNetwork = false;
    double seconds = -1.0; // monitor, watch: < 0 runs until interrupted
    double levelsHz = 2.0; // watch: level events per second at most; 0: none
    Command command = Command::None;
    SetRequest set;
    QString file;
    QString logFile; // --log: the event log's lines go here too (absolute)
    // address set: the new address; account change: the account's new name (empty: --user);
    // name: the new name. The new password never comes from the command line.
    QString text;
    QString newPassword;
    bool outputChannel = false; // name output OUT
    int channel = 0;            // name, eq reset, eq copy's source: counted from 1
    int toChannel = 0;          // eq copy's target
    // group set / clear: slot 1..5, members as channel serial ids (inputs 1..8, outputs 9..10)
    // and the link flags in the order of sonaro::LinkFlag.
    int groupSlot = 0;
    std::vector<int> groupMembers;
    std::array<bool, 6> groupLinks{};

    bool logsIn() const { return command != Command::Discover && command != Command::PresetShow; }
};

struct ParseResult
{
    enum class Outcome
    {
        Run,
        Help, // print helpText on standard output, exit 0
        Usage // print error on standard error, exit 2
    };
    Outcome outcome = Outcome::Usage;
    CtlSettings settings;
    QString helpText;
    QString error;
};

// Parses the arguments after the program name. Options may stand before or after the command
// words; "--" ends the options.
ParseResult parseArguments(const QStringList& arguments);

// The tool's help, or the help of one command ("set", "preset", ...); empty for an unknown one.
QString toolHelp();
QString commandHelp(const QString& command);

// Account names and passwords are 1 to 6 printable ASCII characters without "&" (the filler
// that pads them on the wire) and without the frame's delimiters "," "#" "%". Returns an empty
// text when valid, else the reason.
QString checkAccountText(const QString& what, const QString& text);

// The names of the group link flags, in the order of sonaro::LinkFlag.
extern const char* const kLinkNames[6];

} // namespace sonaroctl
