#include "CtlArguments.h"

#include "model/UnitTable.h"

#include "Console.h"

#include "model/HostAddressRules.h"
#include "model/UnitRecord.h"
#include "model/ValueConventions.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace sonaroctl {

const char* const kLinkNames[6] = {"gain", "mute", "priority", "eq", "limiter", "phantom"};

namespace {

constexpr int kNameLength = 32; // what a strip's name shows
constexpr int kGroups = 5;

const char kToolHelp[] = R"(Usage: sonaroctl [OPTIONS] COMMAND [ARGUMENTS]

Command-line control of a Sonaro mixer unit, for scripts and installers.

Commands:
  discover                 list the units that answer on the /24 of the bound address
  login                    log in and print the unit count
  show                     print every setting of the unit
  set SETTING ... VALUE    change one setting (see 'sonaroctl set --help')
  preset save FILE         fetch the unit's state and write it to a preset file
  preset load FILE         send a preset file to the unit
  preset show FILE         print a preset file's settings (offline)
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
  --data-dir DIR      keep the database, ip.ini and data.ini in DIR (made when only DIR
                      itself is missing)
  --bind ADDR         bind the link to this local address (default: ip.ini's bind, else any)
  --address ADDR      the unit's address (default: ip.ini's ip)
  --port N            the link port (default: ip.ini's host, else 5000)
  --unit N            the unit of a cascade to work on (default 1)
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
names. With nothing bound (neither --bind nor ip.ini's bind) sonaroctl refuses, unless
--any-network lets it probe the network of the host's default interface.
)";

const char kLoginHelp[] = R"(Usage: sonaroctl [OPTIONS] [--json] login

Logs in as the desktop program's Connect does (R, sent again twice 3 s apart when
unanswered), waits for the unit's state and prints the number of units the unit reports.
Exit 3 with "User Password Error!" when the unit refuses the account, exit 4 with
"Connect fail." when three requests stay unanswered.
)";

const char kShowHelp[] = R"(Usage: sonaroctl [OPTIONS] [--json] show

Logs in, waits for the unit's state, EQ and dynamics, prints every setting (one line
each; with --json one object whose "settings" are keyed as 'set' takes them) and switches
the status stream off.
)";

const char kPresetHelp[] = R"(Usage: sonaroctl [OPTIONS] [--json] preset save|load|show FILE

  preset save FILE   log in, fetch the state (S, all EQ blocks, both dynamics blocks) and
                     write FILE (2,796 bytes: the unit record and the five groups)
  preset load FILE   log in, wait for the state and open FILE as "OPEN FILE" does:
                     rebuild the groups and send the whole record; done when the unit
                     confirmed every setting that changed
  preset show FILE   print FILE's settings without contacting a unit
FILE must be a regular file (not a FIFO or a device).
)";

const char kMonitorHelp[] = R"(Usage: sonaroctl [OPTIONS] [--json] monitor [--seconds N]

Logs in and prints one line per status frame: the eight input levels, the two output
levels and the open state of each input (JSON lines with --json). Runs N seconds, or until
interrupted (Ctrl-C, SIGTERM), then switches the status stream off.
)";

const char kWatchHelp[] = R"(Usage: sonaroctl [OPTIONS] watch [--seconds N] [--levels HZ]

Logs in, waits for the unit's state and prints one JSON object per line for every event,
with an "event" field:
  start       "schemaVersion", "address", "port"
  levels      input and output levels and open states, at most HZ times a second
              (default 2; --levels 0: none)
  open        the open inputs changed
  change      a setting changed: "key" (as 'show --json' names it), "label", "old", "new"
              and "source" ("unit": the unit reported it; "us": this program changed it)
  delivered   the unit confirmed a change of ours: "key"
  undelivered a change of ours was not confirmed: "key"
  relogin     the link logged in again
  silence     the unit fell silent or the link dropped; watch then exits with status 1
Runs N seconds, or until SIGINT or SIGTERM, which end it with status 0 after the status
stream was switched off.
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
reported the address asked for; ip.ini keeps it.
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

Logs in and stores TEXT (1 to 32 characters) as the name of input CH (1..8) or output
OUT (1..2) in the database, as the strip's name dialog does. Fails when the database
cannot be written.
)";

const char kEqHelp[] = R"(Usage: sonaroctl [OPTIONS] eq copy FROM TO
       sonaroctl [OPTIONS] eq reset CH

  eq copy FROM TO   the input EQ window's COPY EQ: input TO (and its linked inputs) takes
                    the bands and filters of input FROM (asks unless --yes)
  eq reset CH       the input EQ window's RESET: flat bands, filters off

Waits for the unit's confirmation as set does.
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

As the group dialog's OK: the database is written and the link table (J) sent; done when
the unit's state report holds the same table.
)";

// --- the words of each command ------------------------------------------------------------

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
            .arg(escapeControls(text));
    out = *n;
    return {};
}

QString noWords(const QStringList& rest, CtlSettings&)
{
    return rest.isEmpty() ? QString()
                          : QStringLiteral("takes no arguments, not '%1'")
                                .arg(escapeControls(rest.join(QLatin1Char(' '))));
}

QString setWords(const QStringList& rest, CtlSettings& s)
{
    return settingWords::parse(rest, s.set);
}

QString presetWords(const QStringList& rest, CtlSettings& s)
{
    const QString action = rest.value(0);
    if (action == QLatin1String("save"))
        s.command = Command::PresetSave;
    else if (action == QLatin1String("load"))
        s.command = Command::PresetLoad;
    else if (action == QLatin1String("show"))
        s.command = Command::PresetShow;
    else
        return QStringLiteral("preset takes save, load or show and a file");
    if (rest.size() != 2 || rest[1].isEmpty())
        return QStringLiteral("preset %1 takes one file").arg(action);
    s.file = QFileInfo(rest[1]).absoluteFilePath();
    return {};
}

QString addressWords(const QStringList& rest, CtlSettings& s)
{
    quint32 ip = 0;
    if (rest.size() != 2 || rest[0] != QLatin1String("set"))
        return QStringLiteral("address takes: set IP");
    if (!sonaro::parseIpv4(rest[1], &ip))
        return QStringLiteral("address set needs an IPv4 address, not '%1'")
            .arg(escapeControls(rest[1]));
    s.text = rest[1];
    return {};
}

QString accountWords(const QStringList& rest, CtlSettings& s)
{
    if (rest.isEmpty() || rest[0] != QLatin1String("change") || rest.size() > 2)
        return QStringLiteral("account takes: change [NAME]");
    s.text = rest.value(1);
    return s.text.isEmpty() ? QString()
                            : checkAccountText(QStringLiteral("the new account name"), s.text);
}

QString nameWords(const QStringList& rest, CtlSettings& s)
{
    s.outputChannel = rest.value(0) == QLatin1String("output");
    const QStringList args = s.outputChannel ? rest.mid(1) : rest;
    if (args.size() != 2) return QStringLiteral("name takes CH TEXT or output OUT TEXT");
    const QString error =
        number(args[0], s.outputChannel ? "output" : "channel", 1,
               s.outputChannel ? sonaro::kOutputCount : sonaro::kInputCount, s.channel);
    if (!error.isEmpty()) return error;
    s.text = args[1];
    if (s.text.trimmed().isEmpty() || s.text.size() > kNameLength)
        return QStringLiteral("the name must be 1 to %1 characters").arg(kNameLength);
    for (const QChar c : std::as_const(s.text))
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("the name must not contain control characters");
    return {};
}

QString eqWords(const QStringList& rest, CtlSettings& s)
{
    const QString action = rest.value(0);
    if (action == QLatin1String("copy") && rest.size() == 3) {
        s.command = Command::EqCopy;
        const QString error = number(rest[1], "channel", 1, sonaro::kInputCount, s.channel);
        return error.isEmpty() ? number(rest[2], "channel", 1, sonaro::kInputCount, s.toChannel)
                               : error;
    }
    if (action == QLatin1String("reset") && rest.size() == 2) {
        s.command = Command::EqReset;
        return number(rest[1], "channel", 1, sonaro::kInputCount, s.channel);
    }
    return QStringLiteral("eq takes: copy FROM TO, or reset CH");
}

QString groupMembers(const QString& list, CtlSettings& s)
{
    for (const QString& word : list.split(QLatin1Char(','))) {
        int serial = 0;
        const QString w = word.trimmed().toLower();
        if (w == QLatin1String("out1") || w == QLatin1String("out2"))
            serial = sonaro::kInputCount + w.right(1).toInt();
        else if (!number(w, "member", 1, sonaro::kInputCount, serial).isEmpty())
            serial = 0;
        if (serial == 0)
            return QStringLiteral("members are inputs 1..8 or out1, out2, not '%1'")
                .arg(escapeControls(word));
        s.groupMembers.push_back(serial);
    }
    return {};
}

QString groupLinks(const QString& list, CtlSettings& s)
{
    for (const QString& word : list.split(QLatin1Char(','))) {
        const QString w = word.trimmed().toLower();
        if (w == QLatin1String("none")) continue;
        const auto* found = std::find(std::begin(kLinkNames), std::end(kLinkNames), w);
        if (found == std::end(kLinkNames))
            return QStringLiteral("links are gain, mute, priority, eq, limiter, phantom or none, "
                                  "not '%1'")
                .arg(escapeControls(word));
        s.groupLinks[static_cast<std::size_t>(found - std::begin(kLinkNames))] = true;
    }
    return {};
}

QString groupWords(const QStringList& rest, CtlSettings& s)
{
    const QString action = rest.value(0);
    if (action == QLatin1String("show") && rest.size() == 1) {
        s.command = Command::GroupShow;
        return {};
    }
    const bool set = action == QLatin1String("set") && (rest.size() == 3 || rest.size() == 4);
    if (!set && !(action == QLatin1String("clear") && rest.size() == 2))
        return QStringLiteral("group takes: show, set N MEMBERS [LINKS], or clear N");
    s.command = Command::GroupSet;
    QString error = number(rest[1], "group", 1, kGroups, s.groupSlot);
    if (error.isEmpty() && set) error = groupMembers(rest[2], s);
    if (error.isEmpty() && set) error = groupLinks(rest.value(3, QStringLiteral("none")), s);
    return error;
}

// One command word: what it is, its help and how its words are read.
struct CommandRow
{
    const char* word;
    Command command; // None: the word's parser chooses
    const char* help;
    QString (*parse)(const QStringList& rest, CtlSettings& settings);
};

constexpr CommandRow kCommands[] = {
    {"discover", Command::Discover, kDiscoverHelp, noWords},
    {"login", Command::Login, kLoginHelp, noWords},
    {"show", Command::Show, kShowHelp, noWords},
    {"set", Command::Set, nullptr, setWords},
    {"preset", Command::None, kPresetHelp, presetWords},
    {"monitor", Command::Monitor, kMonitorHelp, noWords},
    {"watch", Command::Watch, kWatchHelp, noWords},
    {"factory-restore", Command::FactoryRestore, kFactoryHelp, noWords},
    {"address", Command::AddressSet, kAddressHelp, addressWords},
    {"account", Command::AccountChange, kAccountHelp, accountWords},
    {"name", Command::Name, kNameHelp, nameWords},
    {"eq", Command::None, kEqHelp, eqWords},
    {"group", Command::None, kGroupHelp, groupWords},
};

const CommandRow* commandRow(const QString& word)
{
    for (const CommandRow& row : kCommands)
        if (word == QLatin1String(row.word)) return &row;
    return nullptr;
}

// --- options ---------------------------------------------------------------------------------

QString dataDirOption(CtlSettings& s, const QString& v)
{
    // An empty text would fall back to another directory without a word.
    if (v.isEmpty()) return QStringLiteral("--data-dir needs a directory, not an empty text");
    s.dataDir = v;
    return {};
}

QString logOption(CtlSettings& s, const QString& v)
{
    if (v.isEmpty()) return QStringLiteral("--log needs a file name");
    // Relative to where sonaroctl runs, not to the data directory.
    s.logFile = QFileInfo(v).absoluteFilePath();
    return {};
}

QString addressOption(QString& out, const char* name, const QString& v)
{
    QHostAddress address;
    if (!address.setAddress(v) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return QStringLiteral("%1 needs an IPv4 address, not '%2'")
            .arg(QLatin1String(name), escapeControls(v));
    out = address.toString();
    return {};
}

QString portOption(CtlSettings& s, const QString& v)
{
    const auto port = wholeNumber(v);
    if (!port || *port < 1 || *port > 65535)
        return QStringLiteral("--port must be 1 to 65535, not '%1'").arg(escapeControls(v));
    s.port = *port;
    return {};
}

QString positiveOption(double& out, const char* name, double high, bool zeroAllowed,
                       const QString& v)
{
    bool ok = false;
    const double value = v.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || (value == 0 && !zeroAllowed) || value > high)
        return QStringLiteral("%1 needs a number up to %2, not '%3'")
            .arg(QLatin1String(name))
            .arg(high)
            .arg(escapeControls(v));
    out = value;
    return {};
}

struct OptionRow
{
    const char* name;
    QString (*apply)(CtlSettings& settings, const QString& value); // nullptr: a flag
    bool CtlSettings::*flag;
};

constexpr OptionRow kOptions[] = {
    {"--data-dir", dataDirOption, nullptr},
    {"--log", logOption, nullptr},
    {"--bind",
     [](CtlSettings& s, const QString& v) { return addressOption(s.bindAddress, "--bind", v); },
     nullptr},
    {"--address",
     [](CtlSettings& s, const QString& v) {
         return addressOption(s.deviceAddress, "--address", v);
     },
     nullptr},
    {"--port", portOption, nullptr},
    {"--unit",
     [](CtlSettings& s, const QString& v) {
         const auto unit = wholeNumber(v);
         if (!unit || *unit < 1 || *unit > sonaro::UnitTable::kMaxUnits)
             return QStringLiteral("--unit must be 1 to 64, not '%1'").arg(escapeControls(v));
         s.unit = *unit;
         return QString();
     },
     nullptr},
    {"--user",
     [](CtlSettings& s, const QString& v) {
         s.user = v;
         return QString();
     },
     nullptr},
    {"--password",
     [](CtlSettings& s, const QString& v) {
         s.password = v;
         s.passwordGiven = true;
         return QString();
     },
     nullptr},
    {"--seconds",
     [](CtlSettings& s, const QString& v) {
         return positiveOption(s.seconds, "--seconds", 1e6, false, v);
     },
     nullptr},
    {"--levels",
     [](CtlSettings& s, const QString& v) {
         return positiveOption(s.levelsHz, "--levels", 100, true, v);
     },
     nullptr},
    {"--json", nullptr, &CtlSettings::json},
    {"--yes", nullptr, &CtlSettings::yes},
    {"--any-network", nullptr, &CtlSettings::anyNetwork},
};

ParseResult usageError(const QString& error)
{
    ParseResult r;
    r.outcome = ParseResult::Outcome::Usage;
    r.error = error;
    return r;
}

struct Scanned
{
    QStringList words;
    QStringList given; // the options given, by name
    bool help = false;
    QString error;
};

// Splits the arguments into options (applied to s) and the command's words.
Scanned scan(const QStringList& arguments, CtlSettings& s)
{
    Scanned out;
    static const QRegularExpression negative(QStringLiteral("^-[0-9.]"));
    bool ended = false;
    for (qsizetype i = 0; i < arguments.size() && out.error.isEmpty(); ++i) {
        const QString& arg = arguments[i];
        if (ended || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-") ||
            negative.match(arg).hasMatch()) {
            out.words << arg; // a negative number is a value ("set input-gain 1 -6")
            continue;
        }
        if (arg == QLatin1String("--")) {
            ended = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out.help = true;
            continue;
        }
        const qsizetype eq = arg.startsWith(QLatin1String("--")) ? arg.indexOf('=') : -1;
        const QString name = eq > 0 ? arg.left(eq) : arg;
        const auto* row =
            std::find_if(std::begin(kOptions), std::end(kOptions),
                         [&](const OptionRow& o) { return name == QLatin1String(o.name); });
        if (row == std::end(kOptions)) {
            out.error = QStringLiteral("unknown option '%1'").arg(escapeControls(name));
        } else if (!row->apply) {
            out.error = eq > 0 ? QStringLiteral("%1 takes no value").arg(name) : QString();
            s.*(row->flag) = true;
        } else if (eq < 0 && i + 1 >= arguments.size()) {
            out.error = QStringLiteral("%1 needs a value").arg(name);
        } else {
            out.error = row->apply(s, eq > 0 ? arg.mid(eq + 1) : arguments[++i]);
        }
        out.given << name;
    }
    return out;
}

// The options that belong to some commands only.
QString misplacedOption(const QStringList& given, Command c)
{
    const bool streams = c == Command::Monitor || c == Command::Watch;
    if (given.contains(QLatin1String("--seconds")) && !streams)
        return QStringLiteral("--seconds is an option of monitor and watch");
    if (given.contains(QLatin1String("--levels")) && c != Command::Watch)
        return QStringLiteral("--levels is an option of watch");
    if (given.contains(QLatin1String("--any-network")) && c != Command::Discover)
        return QStringLiteral("--any-network is an option of discover");
    return {};
}

} // namespace

QString toolHelp()
{
    return QString::fromLatin1(kToolHelp);
}

QString commandHelp(const QString& command)
{
    const CommandRow* row = commandRow(command);
    if (!row) return {};
    return row->help ? QString::fromLatin1(row->help) : settingWords::help();
}

QString checkAccountText(const QString& what, const QString& text)
{
    if (text.isEmpty() || text.size() > sonaro::kAccountLength - 1)
        return QStringLiteral("%1 must be 1 to 6 characters").arg(what);
    for (const QChar c : text) {
        if (c == QLatin1Char(sonaro::kAccountFiller) || c == QLatin1Char(',') ||
            c == QLatin1Char('#') || c == QLatin1Char('%'))
            return QStringLiteral("%1 must not contain '&', ',', '#' or '%'").arg(what);
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return QStringLiteral("%1 must be printable ASCII without blanks").arg(what);
    }
    return {};
}

ParseResult parseArguments(const QStringList& arguments)
{
    ParseResult result;
    CtlSettings& s = result.settings;
    const Scanned scanned = scan(arguments, s);
    if (!scanned.error.isEmpty()) return usageError(scanned.error);
    const QStringList& words = scanned.words;
    const bool helpWord = !words.isEmpty() && words[0] == QLatin1String("help");
    if (scanned.help || helpWord) {
        const QString topic = words.value(helpWord ? 1 : 0);
        result.outcome = ParseResult::Outcome::Help;
        result.helpText = topic.isEmpty() ? toolHelp() : commandHelp(topic);
        if (result.helpText.isEmpty())
            return usageError(QStringLiteral("unknown command '%1'").arg(escapeControls(topic)));
        return result;
    }
    if (words.isEmpty()) return usageError(QStringLiteral("no command given"));
    const CommandRow* row = commandRow(words[0]);
    if (!row)
        return usageError(QStringLiteral("unknown command '%1'").arg(escapeControls(words[0])));
    s.command = row->command;
    QString error = row->parse(words.mid(1), s);
    if (!error.isEmpty() && row->parse == noWords) error = words[0] + QLatin1Char(' ') + error;
    if (error.isEmpty()) error = misplacedOption(scanned.given, s.command);
    // Refused before anything is sent: the unit would keep only what stands before a delimiter.
    if (error.isEmpty() && s.logsIn())
        error = checkAccountText(QStringLiteral("the user name"), s.user);
    if (error.isEmpty() && s.logsIn() && s.passwordGiven)
        error = checkAccountText(QStringLiteral("the password"), s.password);
    if (!error.isEmpty()) return usageError(error);
    result.outcome = ParseResult::Outcome::Run;
    return result;
}

} // namespace sonaroctl
