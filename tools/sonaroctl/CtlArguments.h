#pragma once

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
    FactoryRestore,
    AddressSet,
    AccountChange,
    Name,
    EqCopy,
    EqReset,
    Watch,
    GroupShow,
    GroupSet // set and clear (no members, no links)
};

// What `set` changes. Channel, output and input numbers are the operator's, counted from 1.
enum class Setting
{
    None,
    InputGain,
    InputMute,
    InputMic,
    Phantom,
    Priority,
    OutputGain,
    OutputMute,
    Route,
    HoldTime,
    MaxOpen,
    InputEq,     // band field of input CH: frequency, gain, Q or type
    HighPass,    // the input's high-pass cut-off, or off
    LowPass,     // the input's low-pass cut-off, or off
    OutputEq,    // band field of output OUT: frequency, gain or Q
    Limiter,     // threshold, ratio, attack, release or enable of output OUT
    AutomixMode, // auto (0) or manual (1) threshold
    Threshold,   // automix threshold, dB
    PanelLock,   // on / off
    DeviceMode,  // master (1) / slave (0)
    OutputLevel  // output OUT: mic (1) / line (0)
};

// The field of an EQ band or a limiter that `set eq`, `set output-eq` and `set limiter` change.
enum class Field
{
    None,
    Frequency,
    Gain,
    Q,
    Type,
    Threshold,
    Ratio,
    Attack,
    Release,
    Enable
};

struct SetRequest
{
    Setting setting = Setting::None;
    QString name;   // as typed, e.g. "input-gain"
    int target = 0; // channel 1..8 or output 1..2 (none for hold-time and max-open)
    int input = 0;  // route: input 1..8
    int value = 0;  // dB, on (1) / off (0), line (1) / mic (0), hold time, open channels,
                    // filter index (0 off), band type, whole ms, ratio (11: infinite)
    int band = 0;   // EQ band, counted from 1
    Field field = Field::None;
    double number = 0; // Hz, dB or Q of an EQ band; limiter threshold in dB
    QString valueText; // the value as the report shows it
};

struct CtlSettings
{
    QString dataDir;
    QString bindAddress;
    QString deviceAddress;
    int port = -1; // -1: ip.ini's
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
    QString logFile; // --log: the event log's lines go here too
    // address set: the new address; account change: the account's new name (empty: --user) and
    // its new password (never from the command line); name: the new name.
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
// that pads them to 7 on the wire). Returns an empty text when valid, else the reason.
QString checkAccountText(const QString& what, const QString& text);
// The same, and none of the frame's delimiters "," "#" "%": the rules of an account change.
QString checkNewAccountText(const QString& what, const QString& text);

} // namespace sonaroctl
