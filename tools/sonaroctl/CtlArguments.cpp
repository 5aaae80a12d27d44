#include "CtlArguments.h"

#include "dsp/EqModel.h"
#include "model/HostAddressRules.h"
#include "model/UnitRecord.h"
#include "model/ValueConventions.h"
#include "model/ValueText.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace sonaroctl {

namespace {

constexpr int kMinDb = -sonaro::kGainOffsetDb;                   // -50
constexpr int kMaxDb = sonaro::kGainMax - sonaro::kGainOffsetDb; // 10
constexpr int kNameLength = 32;                                  // what a strip's name shows

const char kToolHelp[] = R"(Usage: sonaroctl [OPTIONS] COMMAND [ARGUMENTS]

Command-line control of a Sonaro mixer unit, for scripts and installers.

Commands:
  discover                 list the units that answer on the /24 of the bound address
  login                    log in and print the unit count
  show                     print the unit's complete state
  set SETTING ...          change one setting (see 'sonaroctl set --help')
  preset save FILE         fetch the unit's state and write it to a preset file
  preset load FILE         send a preset file to the unit
  preset show FILE         print a preset file's contents (offline)
  monitor [--seconds N]    print levels and open states as they stream
  watch [--seconds N] [--levels HZ]
                           stream every event as one JSON object per line
  factory-restore          restore the unit's factory settings (asks unless --yes)
  address set IP           give the unit a new address
  account change [NAME]    change the account's password (and name)
  name [output] CH TEXT    name an input (or output) channel
  eq copy FROM TO          copy the EQ of input FROM to input TO
  eq reset CH              reset the EQ of input CH
  group show|set|clear     the five channel groups, their members and link flags

Options:
  --data-dir DIR      keep the database, ip.ini and data.ini in DIR
  --bind ADDR         bind the link to this local address (default: ip.ini's bind, else any)
  --address ADDR      the unit's address (default: ip.ini's ip)
  --port N            the link port (default: ip.ini's host, else 5000)
  --user NAME         account name (default admin)
  --password PSW      password (default: $SONARO_PASSWORD, else a prompt on a terminal)
  --json              machine-readable output
  --yes               answer Yes to the program's questions
  --log FILE          append the event log's lines (connection, login, messages) to FILE
  -h, --help          this help; 'sonaroctl COMMAND --help' for a command

Exit status: 0 success (every change confirmed by the unit), 1 failure (reason on
standard error, naming what the unit did not confirm), 2 usage error or refused value,
3 login refused ("User Password Error!"), 4 no answer ("Connect fail.").
)";

const char kDiscoverHelp[] =
    R"(Usage: sonaroctl [--bind ADDR] [--port N] [--any-network] [--json] discover

Probes hosts 2..254 of the /24 of the bound address with the I command on the link port
and prints one line per unit that answers: address, port, administrator and user account
names. Without a bound address the host's own network would be probed; sonaroctl refuses
that unless the host's address is a loopback address or --any-network is given.
)";

const char kLoginHelp[] = R"(Usage: sonaroctl [OPTIONS] login

Logs in as the desktop program's Connect does (R, sent again twice 3 s apart when
unanswered) and prints the number of units the unit reports.
Exit 3 with "User Password Error!" when the unit refuses the account, exit 4 with
"Connect fail." when three requests stay unanswered.
)";

const char kShowHelp[] = R"(Usage: sonaroctl [OPTIONS] [--json] show

Logs in, waits for the unit's complete state report and every EQ and dynamics block,
prints the state and switches the status stream off.
)";

const char kSetHelp[] = R"(Usage: sonaroctl [OPTIONS] set SETTING ARGUMENTS

  set input-gain CH DB        input CH (1..8) to DB (-50..10, whole dB)
  set input-mute CH on|off
  set input-mic CH mic|line   source type of input CH
  set phantom CH on|off       48 V phantom power of input CH
  set priority CH on|off
  set output-gain OUT DB      output OUT (1..2) to DB (-50..10); a muted output is refused
  set output-mute OUT on|off
  set route OUT IN on|off     crosspoint of input IN (1..8) on output OUT (1..2)
  set hold-time N             automix hold time, stored value 0..40
  set max-open N              most open channels, 1..8
  set eq CH BAND FIELD VALUE  input EQ band BAND (1..5) of input CH:
                                freq 20..20k (e.g. 1k, 2.5kHz), gain -15..15 (dB),
                                q 0.3..20, type peak|low-shelf|high-shelf
  set hpf CH HZ|off           high-pass cut-off of input CH: 35 50 60 70 80 90 100 120 130 150
  set lpf CH HZ|off           low-pass cut-off: 20k 18k 15k 12k 10k 8k 7.5k 7k 6.8k 6.5k
  set output-eq OUT BAND FIELD VALUE
                              output EQ band BAND (1..15): freq, gain or q as above
  set limiter OUT FIELD VALUE limiter of output OUT: threshold -80..20 (dB) or off,
                              ratio 1:1..10:1 or inf, attack 1..2000 (ms), release
                              10..5000 (ms), enable on|off
  set automix-mode auto|manual
  set threshold DB            automix threshold, -50..10 dB (manual mode only)
  set panel-lock on|off
  set device-mode master|slave
  set output-level OUT mic|line

Values are given in the units the desktop shows and read as its typed entry reads them.
Logs in, waits for the state report, runs the desktop control's or editor's action (linked
channels follow as on the desktop, the same permission checks apply), waits until every
command has left and for the unit's confirmation (M by its D, V and G by reading the state
back, E and B by Q and H), and switches the status stream off. A switch already in the
requested state sends nothing. Exit 0 only when the unit confirmed the change; 1 names what
it did not confirm; 2 for a refused value.
)";

const char kPresetHelp[] = R"(Usage: sonaroctl [OPTIONS] preset save|load|show FILE

  preset save FILE   log in, fetch the state (S, all EQ blocks, both dynamics blocks) and
                     write FILE (2,796 bytes: the unit record and the five groups)
  preset load FILE   log in, wait for the state report and open FILE as "OPEN FILE" does:
                     rebuild the groups and send the whole record (L 0 ... L 1)
  preset show FILE   print FILE's contents without contacting a unit
)";

const char kMonitorHelp[] = R"(Usage: sonaroctl [OPTIONS] [--json] monitor [--seconds N]

Logs in and prints one line per status frame: the eight input levels, the two output
levels and the open state of each input (JSON lines with --json). Runs N seconds, or until
interrupted (Ctrl-C), then switches the status stream off.
)";

const char kFactoryHelp[] = R"(Usage: sonaroctl [OPTIONS] [--yes] factory-restore

Logs in as the administrator and restores the unit's factory settings as the system page's
RESTORE does (the channel names are reset too), then waits for the unit's confirmation.
Asks "Restore Factory Settings?" on standard input unless --yes is given; a closed or
non-answering standard input refuses.
)";

const char kAddressHelp[] = R"(Usage: sonaroctl [OPTIONS] address set IP

Logs in as the administrator and gives the unit the address IP on the same link port.
IP must be a host address (not a network, broadcast, multicast or loopback address;
loopback is allowed only when the link is bound to loopback). Done only when the unit
reported its new address; ip.ini keeps it.
)";

const char kAccountHelp[] = R"(Usage: sonaroctl [OPTIONS] account change [NAME]

Logs in with --user and --password and changes that account's password (and its name to
NAME when given) as the system page does. The new password comes from SONARO_NEW_PASSWORD,
else from a prompt on a terminal (asked twice), never from the command line. Names and
passwords are 1 to 6 printable ASCII characters without "&", ",", "#" or "%".
Done only when the unit answered the change; the old login then no longer holds.
)";

const char kNameHelp[] = R"(Usage: sonaroctl [OPTIONS] name CH TEXT
       sonaroctl [OPTIONS] name output OUT TEXT

Logs in and stores TEXT as the name of input CH (1..8) or output OUT (1..2) in the
database, as the strip's name dialog does.
)";

const char kEqHelp[] = R"(Usage: sonaroctl [OPTIONS] eq copy FROM TO
       sonaroctl [OPTIONS] eq reset CH

  eq copy FROM TO   the input EQ window's COPY EQ: input TO (and its linked inputs) takes
                    the bands and filters of input FROM
  eq reset CH       the input EQ window's RESET: flat bands, filters off

Waits for the unit's confirmation as set does.
)";

const char kWatchHelp[] = R"(Usage: sonaroctl [OPTIONS] watch [--seconds N] [--levels HZ]

Logs in, waits for the unit's complete state and prints one JSON object per line for every
event, with an "event" field:
  levels      input and output levels and open states, at most HZ times a second
              (default 2; --levels 0: none)
  open        the open inputs changed
  change      a field changed: "field" (as show --json names it), "old", "new" and
              "source" ("unit": the unit reported it; "us": this program changed it)
  delivered   the unit answered an acknowledged command: "command" M, E or B
  undelivered an acknowledged command stayed unanswered: "command"
  relogin     the link logged in again
  silence     the unit fell silent or the link dropped; watch then exits with status 1
Runs N seconds, or until SIGINT or SIGTERM, which end it with status 0 after the status
stream was switched off.
)";

const char kGroupHelp[] = R"(Usage: sonaroctl [OPTIONS] group show
       sonaroctl [OPTIONS] group set N MEMBERS [LINKS]
       sonaroctl [OPTIONS] group clear N

  group show               the five groups: members and link flags
  group set N MEMBERS [LINKS]
                           group N (1..5) holds MEMBERS, a comma list of inputs 1..8 or
                           of outputs out1, out2 (one kind per group, a channel in one group
                           only); LINKS a comma list of gain, mute, priority, eq, limiter,
                           phantom, or none (the default)
  group clear N            group N holds nothing and links nothing

As the group dialog's OK: the database is written and, while connected, the link table (J)
sent; done when the unit's state report, read back, holds the same table.
)";

const char* const kLinkNames[] = {"gain", "mute", "priority", "eq", "limiter", "phantom"};

std::optional<int> wholeNumber(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]{1,6}$"));
    if (!pattern.match(text).hasMatch()) return std::nullopt;
    return text.toInt();
}

// A whole number in low..high into out; the usage error otherwise.
QString number(const QString& text, const char* what, int low, int high, int& out)
{
    const auto n = wholeNumber(text);
    if (!n || *n < low || *n > high)
        return QStringLiteral("%1 must be %2 to %3, not '%4'")
            .arg(QLatin1String(what))
            .arg(low)
            .arg(high)
            .arg(text);
    out = *n;
    return {};
}

// "on"/"off" and the like; nullopt when the word is neither.
std::optional<int> choiceOf(const QString& text, const char* one, const char* zero)
{
    const QString lower = text.toLower();
    if (lower == QLatin1String(one)) return 1;
    if (lower == QLatin1String(zero)) return 0;
    return std::nullopt;
}

struct SettingInfo
{
    const char* name;
    Setting setting;
    int arguments; // after the setting's name
};

constexpr SettingInfo kSettings[] = {
    {"input-gain", Setting::InputGain, 2},
    {"input-mute", Setting::InputMute, 2},
    {"input-mic", Setting::InputMic, 2},
    {"phantom", Setting::Phantom, 2},
    {"priority", Setting::Priority, 2},
    {"output-gain", Setting::OutputGain, 2},
    {"output-mute", Setting::OutputMute, 2},
    {"route", Setting::Route, 3},
    {"hold-time", Setting::HoldTime, 1},
    {"max-open", Setting::MaxOpen, 1},
    {"eq", Setting::InputEq, 4},
    {"hpf", Setting::HighPass, 2},
    {"lpf", Setting::LowPass, 2},
    {"output-eq", Setting::OutputEq, 4},
    {"limiter", Setting::Limiter, 3},
    {"automix-mode", Setting::AutomixMode, 1},
    {"threshold", Setting::Threshold, 1},
    {"panel-lock", Setting::PanelLock, 1},
    {"device-mode", Setting::DeviceMode, 1},
    {"output-level", Setting::OutputLevel, 2},
};

// A value typed in the unit its control shows, parsed as the desktop's typed entry parses it.
std::optional<sonaro::TypedValue> typedValue(sonaro::ValueUnit unit, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return sonaro::parseValueText(
               unit, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        .value;
}

QString numberText(double value)
{
    return QString::number(value, 'g', 6);
}

// The filter index whose cut-off is hz (1..10), or nullopt; 0 for "off".
std::optional<int> filterIndex(const QString& text, bool highPass)
{
    if (text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) return 0;
    const auto v = typedValue(sonaro::ValueUnit::Hertz, text);
    if (!v || v->kind != sonaro::TypedValue::Kind::Number) return std::nullopt;
    const auto& table = highPass ? sonaro::kHighPassFrequency : sonaro::kLowPassFrequency;
    for (int i = 1; i < sonaro::kFilterIndexCount; ++i)
        if (std::abs(table[static_cast<std::size_t>(i)] - v->value) < 0.5) return i;
    return std::nullopt;
}

QString filterChoices(bool highPass)
{
    const auto& table = highPass ? sonaro::kHighPassFrequency : sonaro::kLowPassFrequency;
    QStringList list;
    for (int i = 1; i < sonaro::kFilterIndexCount; ++i)
        list << QString::number(table[static_cast<std::size_t>(i)]);
    return list.join(QLatin1Char(' '));
}

// Fills request from the words after "set"; returns the usage error or an empty text.
QString parseSet(const QStringList& words, SetRequest& request)
{
    if (words.isEmpty()) return QStringLiteral("set needs a setting (see 'sonaroctl set --help')");
    const SettingInfo* info = nullptr;
    for (const SettingInfo& s : kSettings)
        if (words[0] == QLatin1String(s.name)) info = &s;
    if (!info)
        return QStringLiteral("unknown setting '%1' (see 'sonaroctl set --help')").arg(words[0]);
    request.setting = info->setting;
    request.name = words[0];
    if (words.size() - 1 != info->arguments)
        return QStringLiteral("set %1 takes %2 argument(s) (see 'sonaroctl set --help')")
            .arg(words[0])
            .arg(info->arguments);

    auto onOff = [&](const QString& text, const char* one, const char* zero) -> QString {
        const auto v = choiceOf(text, one, zero);
        if (!v)
            return QStringLiteral("%1 takes %2 or %3, not '%4'")
                .arg(words[0], QLatin1String(one), QLatin1String(zero), text);
        request.value = *v;
        request.valueText = text.toLower();
        return {};
    };
    auto gain = [&](const QString& text) -> QString {
        QString t = text;
        if (t.endsWith(QLatin1String("dB"), Qt::CaseInsensitive)) t.chop(2);
        const auto db = wholeNumber(t);
        if (!db || *db < kMinDb || *db > kMaxDb)
            return QStringLiteral("gain must be a whole number of dB from %1 to %2, not '%3'")
                .arg(kMinDb)
                .arg(kMaxDb)
                .arg(text);
        request.value = *db;
        request.valueText = QStringLiteral("%1dB").arg(*db);
        return {};
    };

    QString error;
    switch (info->setting) {
    case Setting::InputGain:
        error = number(words[1], "channel", 1, sonaro::kInputCount, request.target);
        return error.isEmpty() ? gain(words[2]) : error;
    case Setting::InputMute:
    case Setting::Phantom:
    case Setting::Priority:
        error = number(words[1], "channel", 1, sonaro::kInputCount, request.target);
        return error.isEmpty() ? onOff(words[2], "on", "off") : error;
    case Setting::InputMic:
        error = number(words[1], "channel", 1, sonaro::kInputCount, request.target);
        return error.isEmpty() ? onOff(words[2], "line", "mic") : error;
    case Setting::OutputGain:
        error = number(words[1], "output", 1, sonaro::kOutputCount, request.target);
        return error.isEmpty() ? gain(words[2]) : error;
    case Setting::OutputMute:
        error = number(words[1], "output", 1, sonaro::kOutputCount, request.target);
        return error.isEmpty() ? onOff(words[2], "on", "off") : error;
    case Setting::Route:
        error = number(words[1], "output", 1, sonaro::kOutputCount, request.target);
        if (error.isEmpty())
            error = number(words[2], "input", 1, sonaro::kInputCount, request.input);
        return error.isEmpty() ? onOff(words[3], "on", "off") : error;
    case Setting::HoldTime:
        error = number(words[1], "hold time", 0, sonaro::kHoldTimeMax, request.value);
        request.valueText = QString::number(request.value);
        return error;
    case Setting::MaxOpen:
        error = number(words[1], "open channels", 1, sonaro::kMaxOpenChannelsMax, request.value);
        request.valueText = QString::number(request.value);
        return error;
    case Setting::InputEq:
    case Setting::OutputEq: {
        const bool input = info->setting == Setting::InputEq;
        error = input ? number(words[1], "channel", 1, sonaro::kInputCount, request.target)
                      : number(words[1], "output", 1, sonaro::kOutputCount, request.target);
        if (error.isEmpty())
            error = number(words[2], "band", 1,
                           input ? sonaro::kInputEqBands : sonaro::kOutputEqBands, request.band);
        if (!error.isEmpty()) return error;
        const QString field = words[3].toLower();
        const QString& text = words[4];
        if (field == QLatin1String("freq") || field == QLatin1String("frequency")) {
            request.field = Field::Frequency;
            const auto v = typedValue(sonaro::ValueUnit::Hertz, text);
            if (!v || v->kind != sonaro::TypedValue::Kind::Number ||
                v->value < sonaro::kEqMinFrequency || v->value > sonaro::kEqMaxFrequency)
                return QStringLiteral("frequency must be 20 Hz to 20 kHz (e.g. 1k), not '%1'")
                    .arg(text);
            request.number = v->value;
            request.valueText = QStringLiteral("freq %1Hz").arg(numberText(v->value));
        } else if (field == QLatin1String("gain")) {
            request.field = Field::Gain;
            const auto v = typedValue(sonaro::ValueUnit::Decibel, text);
            if (!v || v->kind != sonaro::TypedValue::Kind::Number ||
                v->value < sonaro::kEqMinGain || v->value > sonaro::kEqMaxGain)
                return QStringLiteral("EQ gain must be -15 to 15 dB, not '%1'").arg(text);
            request.number = v->value;
            request.valueText = QStringLiteral("gain %1dB").arg(numberText(v->value));
        } else if (field == QLatin1String("q")) {
            request.field = Field::Q;
            const auto v = typedValue(sonaro::ValueUnit::Q, text);
            if (!v || v->kind != sonaro::TypedValue::Kind::Number || v->value < sonaro::kEqMinQ ||
                v->value > sonaro::kEqMaxQ)
                return QStringLiteral("Q must be 0.3 to 20, not '%1'").arg(text);
            request.number = v->value;
            request.valueText = QStringLiteral("q %1").arg(numberText(v->value));
        } else if (field == QLatin1String("type") && input) {
            request.field = Field::Type;
            const QString type = text.toLower();
            if (type == QLatin1String("peak"))
                request.value = static_cast<int>(sonaro::EqBandType::Peak);
            else if (type == QLatin1String("low-shelf"))
                request.value = static_cast<int>(sonaro::EqBandType::LowShelf);
            else if (type == QLatin1String("high-shelf"))
                request.value = static_cast<int>(sonaro::EqBandType::HighShelf);
            else
                return QStringLiteral("type takes peak, low-shelf or high-shelf, not '%1'")
                    .arg(text);
            request.valueText = QStringLiteral("type ") + type;
        } else {
            return input ? QStringLiteral("set eq changes freq, gain, q or type, not '%1'")
                               .arg(words[3])
                         : QStringLiteral("set output-eq changes freq, gain or q, not '%1'")
                               .arg(words[3]);
        }
        return {};
    }
    case Setting::HighPass:
    case Setting::LowPass: {
        const bool high = info->setting == Setting::HighPass;
        error = number(words[1], "channel", 1, sonaro::kInputCount, request.target);
        if (!error.isEmpty()) return error;
        const auto index = filterIndex(words[2], high);
        if (!index)
            return QStringLiteral("%1 takes off or one of the cut-offs %2 (Hz), not '%3'")
                .arg(words[0], filterChoices(high), words[2]);
        request.value = *index;
        request.valueText =
            *index == 0 ? QStringLiteral("off")
                        : QStringLiteral("%1Hz").arg(high ? sonaro::kHighPassFrequency[*index]
                                                          : sonaro::kLowPassFrequency[*index]);
        return {};
    }
    case Setting::Limiter: {
        error = number(words[1], "output", 1, sonaro::kOutputCount, request.target);
        if (!error.isEmpty()) return error;
        const QString field = words[2].toLower();
        const QString& text = words[3];
        if (field == QLatin1String("threshold")) {
            request.field = Field::Threshold;
            const auto v = typedValue(sonaro::ValueUnit::Decibel, text);
            const bool off = v && v->kind == sonaro::TypedValue::Kind::Off;
            if (!v || (!off && (v->kind != sonaro::TypedValue::Kind::Number || v->value < -80 ||
                                v->value > 20)))
                return QStringLiteral("limiter threshold must be -80 to 20 dB or off, not '%1'")
                    .arg(text);
            request.number = off ? 20.0 : std::round(v->value * 10.0) / 10.0;
            request.valueText =
                off ? QStringLiteral("threshold off")
                    : QStringLiteral("threshold %1dB").arg(numberText(request.number));
        } else if (field == QLatin1String("ratio")) {
            request.field = Field::Ratio;
            const auto v = typedValue(sonaro::ValueUnit::Ratio, text);
            const bool infinite = v && v->kind == sonaro::TypedValue::Kind::Infinite;
            if (!v ||
                (!infinite && (v->kind != sonaro::TypedValue::Kind::Number ||
                               v->value != std::floor(v->value) || v->value < 1 || v->value > 10)))
                return QStringLiteral("ratio must be 1:1 to 10:1 or inf, not '%1'").arg(text);
            request.value = infinite ? 11 : static_cast<int>(v->value);
            request.valueText = infinite ? QStringLiteral("ratio INF:1")
                                         : QStringLiteral("ratio %1:1").arg(request.value);
        } else if (field == QLatin1String("attack") || field == QLatin1String("release")) {
            const bool attack = field == QLatin1String("attack");
            request.field = attack ? Field::Attack : Field::Release;
            const int low = attack ? 1 : 10;
            const int high = attack ? 2000 : 5000;
            const auto v = typedValue(sonaro::ValueUnit::Milliseconds, text);
            if (!v || v->kind != sonaro::TypedValue::Kind::Number ||
                v->value != std::floor(v->value) || v->value < low || v->value > high)
                return QStringLiteral("%1 must be %2 to %3 ms, not '%4'")
                    .arg(field)
                    .arg(low)
                    .arg(high)
                    .arg(text);
            request.value = static_cast<int>(v->value);
            request.valueText = QStringLiteral("%1 %2ms").arg(field).arg(request.value);
        } else if (field == QLatin1String("enable")) {
            request.field = Field::Enable;
            const auto v = choiceOf(text, "on", "off");
            if (!v) return QStringLiteral("limiter enable takes on or off, not '%1'").arg(text);
            request.value = *v;
            request.valueText = QStringLiteral("enable ") + text.toLower();
        } else {
            return QStringLiteral("set limiter changes threshold, ratio, attack, release or "
                                  "enable, not '%1'")
                .arg(words[2]);
        }
        return {};
    }
    case Setting::AutomixMode:
        return onOff(words[1], "manual", "auto");
    case Setting::Threshold:
        return gain(words[1]);
    case Setting::PanelLock:
        return onOff(words[1], "on", "off");
    case Setting::DeviceMode:
        return onOff(words[1], "master", "slave");
    case Setting::OutputLevel:
        error = number(words[1], "output", 1, sonaro::kOutputCount, request.target);
        return error.isEmpty() ? onOff(words[2], "mic", "line") : error;
    case Setting::None:
        break;
    }
    return QStringLiteral("unknown setting");
}

ParseResult usageError(const QString& error)
{
    ParseResult r;
    r.outcome = ParseResult::Outcome::Usage;
    r.error = error;
    return r;
}

} // namespace

QString toolHelp()
{
    return QString::fromLatin1(kToolHelp);
}

QString commandHelp(const QString& command)
{
    if (command == QLatin1String("discover")) return QString::fromLatin1(kDiscoverHelp);
    if (command == QLatin1String("login")) return QString::fromLatin1(kLoginHelp);
    if (command == QLatin1String("show")) return QString::fromLatin1(kShowHelp);
    if (command == QLatin1String("set")) return QString::fromLatin1(kSetHelp);
    if (command == QLatin1String("preset")) return QString::fromLatin1(kPresetHelp);
    if (command == QLatin1String("monitor")) return QString::fromLatin1(kMonitorHelp);
    if (command == QLatin1String("factory-restore")) return QString::fromLatin1(kFactoryHelp);
    if (command == QLatin1String("address")) return QString::fromLatin1(kAddressHelp);
    if (command == QLatin1String("account")) return QString::fromLatin1(kAccountHelp);
    if (command == QLatin1String("name")) return QString::fromLatin1(kNameHelp);
    if (command == QLatin1String("eq")) return QString::fromLatin1(kEqHelp);
    if (command == QLatin1String("watch")) return QString::fromLatin1(kWatchHelp);
    if (command == QLatin1String("group")) return QString::fromLatin1(kGroupHelp);
    return {};
}

QString checkNewAccountText(const QString& what, const QString& text)
{
    for (const QChar c : text)
        if (c == QLatin1Char(',') || c == QLatin1Char('#') || c == QLatin1Char('%'))
            return QStringLiteral("%1 must not contain ',', '#' or '%'").arg(what);
    return checkAccountText(what, text);
}

QString checkAccountText(const QString& what, const QString& text)
{
    if (text.isEmpty() || text.size() > sonaro::kAccountLength - 1)
        return QStringLiteral("%1 must be 1 to 6 characters").arg(what);
    for (const QChar c : text) {
        if (c == QLatin1Char(sonaro::kAccountFiller))
            return QStringLiteral("%1 must not contain '&'").arg(what);
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return QStringLiteral("%1 must be printable ASCII without blanks").arg(what);
    }
    return {};
}

ParseResult parseArguments(const QStringList& arguments)
{
    CtlSettings s;
    QStringList words;
    bool help = false;
    bool secondsGiven = false;
    bool levelsGiven = false;
    bool optionsEnded = false;

    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        QString value;
        bool inlineValue = false;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            inlineValue = true;
        }
        // A negative number is a value, not an option ("set input-gain 1 -6").
        static const QRegularExpression negative(QStringLiteral("^-[0-9]"));
        if (negative.match(arg).hasMatch()) {
            words << arg;
            continue;
        }
        auto takeValue = [&](QString& out) -> bool {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= arguments.size()) return false;
            out = arguments[++i];
            return true;
        };
        const bool flag = name == QLatin1String("--json") || name == QLatin1String("--yes") ||
                          name == QLatin1String("--any-network") ||
                          name == QLatin1String("--help") || name == QLatin1String("-h");
        if (flag) {
            if (inlineValue) return usageError(QStringLiteral("%1 takes no value").arg(name));
            if (name == QLatin1String("--json")) s.json = true;
            if (name == QLatin1String("--yes")) s.yes = true;
            if (name == QLatin1String("--any-network")) s.anyNetwork = true;
            if (name == QLatin1String("--help") || name == QLatin1String("-h")) help = true;
            continue;
        }
        QString v;
        const bool known = name == QLatin1String("--data-dir") || name == QLatin1String("--bind") ||
                           name == QLatin1String("--address") || name == QLatin1String("--port") ||
                           name == QLatin1String("--user") || name == QLatin1String("--password") ||
                           name == QLatin1String("--seconds") || name == QLatin1String("--log") ||
                           name == QLatin1String("--levels");
        if (!known) return usageError(QStringLiteral("unknown option '%1'").arg(name));
        if (!takeValue(v)) return usageError(QStringLiteral("%1 needs a value").arg(name));
        if (name == QLatin1String("--data-dir")) {
            // An empty text would fall back to the program's own directory without a word.
            if (v.isEmpty())
                return usageError(
                    QStringLiteral("--data-dir needs a directory, not an empty text"));
            s.dataDir = v;
        } else if (name == QLatin1String("--log")) {
            if (v.isEmpty()) return usageError(QStringLiteral("--log needs a file name"));
            // Relative to where sonaroctl runs, not to the data directory.
            s.logFile = QFileInfo(v).absoluteFilePath();
        } else if (name == QLatin1String("--bind") || name == QLatin1String("--address")) {
            QHostAddress address;
            if (!address.setAddress(v) || address.protocol() != QAbstractSocket::IPv4Protocol)
                return usageError(
                    QStringLiteral("%1 needs an IPv4 address, not '%2'").arg(name, v));
            (name == QLatin1String("--bind") ? s.bindAddress : s.deviceAddress) =
                address.toString();
        } else if (name == QLatin1String("--port")) {
            const auto port = wholeNumber(v);
            if (!port || *port < 1 || *port > 65535)
                return usageError(QStringLiteral("--port must be 1 to 65535, not '%1'").arg(v));
            s.port = *port;
        } else if (name == QLatin1String("--user")) {
            s.user = v;
        } else if (name == QLatin1String("--password")) {
            s.password = v;
            s.passwordGiven = true;
        } else if (name == QLatin1String("--seconds")) {
            bool ok = false;
            const double seconds = v.toDouble(&ok);
            if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e6)
                return usageError(
                    QStringLiteral("--seconds needs a positive number, not '%1'").arg(v));
            s.seconds = seconds;
            secondsGiven = true;
        } else if (name == QLatin1String("--levels")) {
            bool ok = false;
            const double hz = v.toDouble(&ok);
            if (!ok || !std::isfinite(hz) || hz < 0 || hz > 100)
                return usageError(
                    QStringLiteral("--levels needs 0 to 100 (per second), not '%1'").arg(v));
            s.levelsHz = hz;
            levelsGiven = true;
        }
    }

    ParseResult result;
    if (words.isEmpty() || words[0] == QLatin1String("help")) {
        const QString topic = words.size() > 1 ? words[1] : QString();
        if (!help && words.isEmpty()) return usageError(QStringLiteral("no command given"));
        result.outcome = ParseResult::Outcome::Help;
        result.helpText = topic.isEmpty() ? toolHelp() : commandHelp(topic);
        if (result.helpText.isEmpty())
            return usageError(QStringLiteral("unknown command '%1'").arg(topic));
        return result;
    }
    const QString command = words[0];
    if (commandHelp(command).isEmpty())
        return usageError(QStringLiteral("unknown command '%1'").arg(command));
    if (help) {
        result.outcome = ParseResult::Outcome::Help;
        result.helpText = commandHelp(command);
        return result;
    }

    const QStringList rest = words.mid(1);
    auto noArguments = [&]() -> QString {
        return rest.isEmpty()
                   ? QString()
                   : QStringLiteral("%1 takes no arguments, not '%2'").arg(command, rest.join(' '));
    };
    QString error;
    if (command == QLatin1String("discover")) {
        s.command = Command::Discover;
        error = noArguments();
    } else if (command == QLatin1String("login")) {
        s.command = Command::Login;
        error = noArguments();
    } else if (command == QLatin1String("show")) {
        s.command = Command::Show;
        error = noArguments();
    } else if (command == QLatin1String("monitor")) {
        s.command = Command::Monitor;
        error = noArguments();
    } else if (command == QLatin1String("watch")) {
        s.command = Command::Watch;
        error = noArguments();
    } else if (command == QLatin1String("set")) {
        s.command = Command::Set;
        error = parseSet(rest, s.set);
    } else if (command == QLatin1String("factory-restore")) {
        s.command = Command::FactoryRestore;
        error = noArguments();
    } else if (command == QLatin1String("address")) {
        s.command = Command::AddressSet;
        quint32 ip = 0;
        if (rest.size() != 2 || rest[0] != QLatin1String("set"))
            error = QStringLiteral("address takes: set IP");
        else if (!sonaro::parseIpv4(rest[1], &ip))
            error = QStringLiteral("address set needs an IPv4 address, not '%1'").arg(rest[1]);
        s.text = rest.value(1);
    } else if (command == QLatin1String("account")) {
        s.command = Command::AccountChange;
        if (rest.isEmpty() || rest[0] != QLatin1String("change") || rest.size() > 2)
            error = QStringLiteral("account takes: change [NAME]");
        s.text = rest.value(1);
        if (error.isEmpty() && !s.text.isEmpty())
            error = checkNewAccountText(QStringLiteral("the new account name"), s.text);
    } else if (command == QLatin1String("name")) {
        s.command = Command::Name;
        s.outputChannel = rest.value(0) == QLatin1String("output");
        const QStringList args = s.outputChannel ? rest.mid(1) : rest;
        if (args.size() != 2)
            error = QStringLiteral("name takes CH TEXT or output OUT TEXT");
        else
            error = number(args[0], s.outputChannel ? "output" : "channel", 1,
                           s.outputChannel ? sonaro::kOutputCount : sonaro::kInputCount, s.channel);
        s.text = args.value(1);
        if (error.isEmpty() && (s.text.trimmed().isEmpty() || s.text.size() > kNameLength))
            error = QStringLiteral("the name must be 1 to %1 characters").arg(kNameLength);
        for (const QChar c : std::as_const(s.text))
            if (error.isEmpty() && (c.unicode() < 0x20 || c.unicode() == 0x7F))
                error = QStringLiteral("the name must not contain control characters");
    } else if (command == QLatin1String("eq")) {
        const QString action = rest.value(0);
        if (action == QLatin1String("copy") && rest.size() == 3) {
            s.command = Command::EqCopy;
            error = number(rest[1], "channel", 1, sonaro::kInputCount, s.channel);
            if (error.isEmpty())
                error = number(rest[2], "channel", 1, sonaro::kInputCount, s.toChannel);
        } else if (action == QLatin1String("reset") && rest.size() == 2) {
            s.command = Command::EqReset;
            error = number(rest[1], "channel", 1, sonaro::kInputCount, s.channel);
        } else {
            error = QStringLiteral("eq takes: copy FROM TO, or reset CH");
        }
    } else if (command == QLatin1String("group")) {
        const QString action = rest.value(0);
        if (action == QLatin1String("show") && rest.size() == 1) {
            s.command = Command::GroupShow;
        } else if ((action == QLatin1String("set") && (rest.size() == 3 || rest.size() == 4)) ||
                   (action == QLatin1String("clear") && rest.size() == 2)) {
            s.command = Command::GroupSet;
            error = number(rest[1], "group", 1, 5, s.groupSlot);
            if (error.isEmpty() && action == QLatin1String("set")) {
                for (const QString& word : rest[2].split(QLatin1Char(','))) {
                    int serial = 0;
                    const QString w = word.trimmed().toLower();
                    if (w == QLatin1String("out1") || w == QLatin1String("out2"))
                        serial = sonaro::kInputCount + w.right(1).toInt();
                    else if (!number(w, "member", 1, sonaro::kInputCount, serial).isEmpty())
                        serial = 0;
                    if (serial == 0) {
                        error = QStringLiteral("members are inputs 1..8 or out1, out2, not '%1'")
                                    .arg(word);
                        break;
                    }
                    s.groupMembers.push_back(serial);
                }
                const QStringList links =
                    rest.value(3, QStringLiteral("none")).split(QLatin1Char(','));
                for (const QString& word : links) {
                    const QString w = word.trimmed().toLower();
                    if (w == QLatin1String("none") || !error.isEmpty()) continue;
                    bool known = false;
                    for (int f = 0; f < 6; ++f)
                        if (w == QLatin1String(kLinkNames[f])) {
                            s.groupLinks[static_cast<std::size_t>(f)] = true;
                            known = true;
                        }
                    if (!known)
                        error = QStringLiteral("links are gain, mute, priority, eq, limiter, "
                                               "phantom or none, not '%1'")
                                    .arg(word);
                }
            }
        } else {
            error = QStringLiteral("group takes: show, set N MEMBERS [LINKS], or clear N");
        }
    } else if (command == QLatin1String("preset")) {
        const QString action = rest.value(0);
        if (action == QLatin1String("save"))
            s.command = Command::PresetSave;
        else if (action == QLatin1String("load"))
            s.command = Command::PresetLoad;
        else if (action == QLatin1String("show"))
            s.command = Command::PresetShow;
        else
            error = QStringLiteral("preset takes save, load or show and a file");
        if (error.isEmpty() && rest.size() != 2)
            error = QStringLiteral("preset %1 takes one file").arg(action);
        s.file = rest.value(1);
    }
    if (error.isEmpty() && secondsGiven && s.command != Command::Monitor &&
        s.command != Command::Watch)
        error = QStringLiteral("--seconds is an option of monitor and watch");
    if (error.isEmpty() && levelsGiven && s.command != Command::Watch)
        error = QStringLiteral("--levels is an option of watch");
    if (error.isEmpty() && s.anyNetwork && s.command != Command::Discover)
        error = QStringLiteral("--any-network is an option of discover");
    if (error.isEmpty() && s.command != Command::Discover && s.command != Command::PresetShow) {
        error = checkAccountText(QStringLiteral("the user name"), s.user);
        if (error.isEmpty() && s.passwordGiven)
            error = checkAccountText(QStringLiteral("the password"), s.password);
    }
    if (!error.isEmpty()) return usageError(error);
    result.outcome = ParseResult::Outcome::Run;
    result.settings = s;
    return result;
}

} // namespace sonaroctl
