#include "NvConvert.h"
#include "NvFormat.h"
#include "NvInstalledData.h"
#include "TKx720Bridge.h"
#include "TKx720Cli.h"
#include "TKx720FileCli.h"
#include "TKx720NodeCmd.h"
#include "TKx720Ports.h"
#include "TKx720ReportCli.h"
#include "TKx720Scan.h"
#include "TKx720SetSlave.h"
#include "TnvError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char* const kDescription =
    R"txt(Talks to a KX720 drive over Modbus RTU or Modbus TCP, as the terminal does.

Commands:
  list [CATEGORY]        prints, without a link, every parameter of the
                         definitions file (or of one category): index, name,
                         description, unit, scale, read-only and the index of
                         its stored (EEPROM) copy; --csv for CSV
  read PARAMS...         reads each parameter once and prints its index, name,
                         display text and raw register word(s); PARAMS are
                         indices (4), ranges (4-19), categories (Ram) or all
  write INDEX=WORD...    writes raw 16-bit words (decimal, 0x or $ hex; several
                         elements as INDEX=W1,W2) and prints the terminal's log
                         line of each completed write ("... uploaded (RAM)" or
                         "... saved (EEPROM)"); after a failure it names each
                         pair it did not write
  set INDEX=VALUE...     as write, with values in the drive's units (15=30.0
                         is 30.0 Hz), converted with the definition's scale;
                         refuses read-only parameters and values the register
                         cannot hold before sending anything
  watch PARAMS...        reads the parameters every cycle (100 ms) and prints
                         every reception with its ISO 8601 time stamp, until
                         --count receptions of each or Ctrl-C (exit status 130)
  ident                  prints the drive's hardware and firmware versions
  export FILE.720        reads the drive's configuration and writes it to FILE
  import FILE.720        backs the drive's configuration up to
                         ${XDG_DATA_HOME:-~/.local/share}/kx720/backups, writes
                         FILE's values to the drive and reads each back; a
                         file for another drive size stops it (exit 1) unless
                         --ignore-size is given
  print                  prints the configuration report on standard output,
                         or as a PDF with --pdf OUT.pdf
  compare FILE.720       lists each element where the drive and FILE differ:
                         index, name, the drive's text, the file's text; exit
                         0 when equal, 1 when they differ, 2 on trouble
  report TEMPLATE        reads the drive once and fills the HTML report
                         template with its values; to standard output, or to
                         the file of -o OUT.html; --db FILE is the SQLite
                         database of its TABLE tags
  node                   supervises a machine node and prints every change of
                         its state, code and text ("163 ok", "108 alarm",
                         "171 no link", ...), until --count changes or Ctrl-C;
                         the node's settings come from --ini FILE --node NAME,
                         or else from --slave; its definitions from --defs
                         (default TD_Machine.ini of the current directory)
  node headers FIRST LAST
                         reads the node's program headers FIRST to LAST (0 to
                         99) with a progress line and prints them as a table
  bridge --listen [HOST:]PORT
                         serves the link to Modbus TCP clients (a unit id is
                         the slave address on the line) until Ctrl-C or
                         SIGTERM; prints a line when it serves, one per client
                         that connects or leaves, and the requests served and
                         failed at the end. HOST is 127.0.0.1 unless given
                         (0.0.0.0 for every interface); PORT 0 takes a free
                         port. With --tcp it relays to another Modbus TCP
                         server.
  ports                  lists COM1 to COM8 with their devices (ports.ini or
                         the default), whether each exists and may be opened
                         (with a hint naming the group dialout when not), and
                         the adapters under /dev/serial/by-id/ with a line
                         for ports.ini each; needs no --com or --tcp
  scan                   looks for drives on --com N: asks every address of
                         --slaves at every --bauds and --parity for its
                         identification (or parameter 0 when that is
                         refused), with a time-out per try sized from the
                         line speed (or --timeout); prints each drive found
                         with its settings; Ctrl-C stops with what was found.
                         Exit 0 when a drive was found, 1 when none
  set-slave NEW          changes the drive's slave address from --slave to
                         NEW (and its stored copy with --save), then looks
                         for the drive at NEW and, failing that, at the old
                         address; always says where the drive was last
                         seen. Exit 0 when the drive answers at NEW

The link is --tcp HOST:PORT or --com N (COM1 to COM8: the device named by a
"COMn=DEVICE" line of <config folder>/kx720/ports.ini, else /dev/ttyS(n-1);
19200 baud, 8 data bits, even parity, 1 stop bit).
Results go to standard output. A failure prints the terminal's text
("Error on ModBus data exchange: timeout, no response!", "Connection Error:
...") on standard error and ends with exit status 1; a wrong command line
ends with 2. Ctrl-C ends any command at once with status 130 and says what
it cut short.)txt";

std::atomic<int> gSignal{0};

void OnSignal(int signal) {
    gSignal = signal;
}

int Usage(QTextStream& err, const QString& text) {
    err << "kx720: " << text << Qt::endl << "Try 'kx720 --help'." << Qt::endl;
    return 2;
}

bool ParseLink(const QCommandLineParser& parser, TKx720Job& job, QString& error) {
    if (parser.positionalArguments().value(0) == "list")
        return true; // the definitions alone answer
    if (parser.isSet("tcp") == parser.isSet("com")) {
        error = "give exactly one of --tcp HOST:PORT and --com N";
        return false;
    }
    if (parser.isSet("tcp")) {
        const QString value = parser.value("tcp");
        const qsizetype colon = value.lastIndexOf(':');
        bool ok = false;
        job.Host = value.left(colon);
        job.Port = value.mid(colon + 1).toInt(&ok);
        if (colon <= 0 || !ok || job.Port <= 0 || job.Port > 65535) {
            error = "--tcp wants HOST:PORT, not '" + value + "'";
            return false;
        }
    } else if (!nv::TryStrToInt(parser.value("com"), job.ComPort) || job.ComPort < 1 ||
               job.ComPort > 8) {
        error = "--com wants a port number from 1 to 8";
        return false;
    }
    return true;
}

bool ParseNumbers(const QCommandLineParser& parser, TKx720Job& job, QString& error) {
    const std::pair<const char*, int*> numbers[] = {
        {"slave", &job.Slave}, {"count", &job.Count}, {"timeout", &job.Timeout}};
    for (const auto& [name, field] : numbers) {
        if (parser.isSet(name) && (!nv::TryStrToInt(parser.value(name), *field) || *field < 0)) {
            error = QStringLiteral("--%1 wants a number, not '%2'").arg(name, parser.value(name));
            return false;
        }
    }
    // An address above 255 would go out as its low byte, another drive.
    if (job.Slave < 1 || job.Slave > 247) {
        error = QStringLiteral("--slave wants an address from 1 to 247, not %1").arg(job.Slave);
        return false;
    }
    if (job.Timeout < TKx720Job::kMinTimeout) {
        error = QStringLiteral("--timeout wants at least %1 ms, not %2")
                    .arg(TKx720Job::kMinTimeout)
                    .arg(job.Timeout);
        return false;
    }
    if (parser.isSet("defs"))
        job.Defs = parser.value("defs");
    return true;
}

bool ParseIndex(const QString& text, uint32_t& index) {
    int value = 0;
    if (!nv::TryStrToInt(text, value) || value < 0)
        return false;
    index = static_cast<uint32_t>(value);
    return true;
}

bool ParseCommand(const QStringList& args, TKx720Job& job, QString& error) {
    using TCommand = TKx720Job::TCommand;
    static const std::pair<const char*, TCommand> kVerbs[] = {
        {"read", TCommand::Read},   {"write", TCommand::Write}, {"watch", TCommand::Watch},
        {"ident", TCommand::Ident}, {"list", TCommand::List},   {"set", TCommand::Set}};
    const QString verb = args.value(0);
    const auto known = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                    [&](const auto& entry) { return verb == entry.first; });
    if (known == std::end(kVerbs)) {
        error = verb.isEmpty() ? "no command given" : "unknown command '" + verb + "'";
        return false;
    }
    job.Command = known->second;
    const QStringList rest = args.mid(1);
    switch (job.Command) {
    case TCommand::Ident:
        error = rest.isEmpty() ? QString() : "ident takes no arguments";
        return rest.isEmpty();
    case TCommand::List:
        job.Specs = rest;
        error = rest.size() <= 1 ? QString() : "list takes at most one category";
        return rest.size() <= 1;
    case TCommand::Read:
    case TCommand::Watch:
        job.Specs = rest;
        error = rest.isEmpty() ? verb + " wants indices, ranges or categories" : QString();
        return !rest.isEmpty();
    case TCommand::Write:
    case TCommand::Set:
        break;
    }
    if (rest.isEmpty()) {
        error =
            verb + " wants INDEX=" + (job.Command == TCommand::Set ? "VALUE" : "WORD") + " pairs";
        return false;
    }
    for (const QString& arg : rest) {
        uint32_t index = 0;
        std::vector<uint16_t> words;
        bool ok = arg.contains('=') && ParseIndex(arg.section('=', 0, 0), index);
        if (job.Command == TCommand::Write) {
            for (const QString& part : arg.section('=', 1).split(',')) {
                int word = 0;
                ok = ok && nv::TryStrToInt(part, word) && word >= 0 && word <= 0xFFFF;
                words.push_back(static_cast<uint16_t>(word));
            }
        } else {
            job.Texts << arg.section('=', 1);
        }
        if (!ok) {
            error = "bad argument '" + arg + "'";
            return false;
        }
        job.Indices.push_back(index);
        job.Words.push_back(words);
    }
    return true;
}

// Runs "report" with the signal handling of the other commands.
int RunReport(const QCommandLineParser& parser, const TKx720Job& job, QTextStream& out,
              QTextStream& err) {
    TKx720ReportJob report{.Template = {},
                           .Database = parser.value("db"),
                           .Output = parser.value("output"),
                           .Host = job.Host,
                           .Port = job.Port,
                           .ComPort = job.ComPort,
                           .Slave = job.Slave,
                           .Defs = job.Defs,
                           .Timeout = job.Timeout};
    QString error;
    if (!TKx720ReportCli::Parse(parser.positionalArguments(), report, error))
        return Usage(err, error);
    TKx720ReportCli cli(report, out, err);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QTimer interruption;
    QObject::connect(&interruption, &QTimer::timeout, [&cli] {
        if (const int signal = gSignal.exchange(0))
            cli.Interrupt(128 + signal);
    });
    interruption.start(20);
    return cli.Run();
}

int RunCommand(int argc, char** argv) {
    // Only a report needs a GUI application; the file commands choose their own.
    const bool report = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return TKx720ReportCli::IsCommand(QString::fromLocal8Bit(arg));
    });
    const std::unique_ptr<QCoreApplication> app =
        report ? TKx720ReportCli::CreateApplication(argc, argv)
               : TKx720FileCli::CreateApplication(argc, argv);
    QCoreApplication::setApplicationName("kx720");
    QCoreApplication::setApplicationVersion(KX_VERSION);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"tcp", "Modbus TCP to HOST:PORT.", "HOST:PORT"},
        {"com", "Modbus RTU on serial port COM<N> (1 to 8).", "N"},
        {"slave", "The drive's slave address, 1 to 247 (default 2).", "A"},
        {"defs",
         "The definitions file (default VF_Parameters_v207.ini of the current directory, else "
         "the installed one).",
         "FILE"},
        {"count", "watch: stop after N receptions of each index.", "N"},
        {"timeout", "Reply time-out in ms (default 1000, at least 10); 2 retries.", "MS"},
        {"stats", "read, watch: print each request's latency (minimum, median, 99th percentile, "
                  "maximum) and the count of each outcome on standard error at the end."},
        {"slaves", "scan: the addresses to try, FIRST-LAST (default 1-247).", "RANGE"},
        {"bauds", "scan: the baud rates to try (default 19200).", "B1,B2,..."},
        {"parity", "scan: the parities to try, of E, N, O (default E).", "P1,P2,..."},
        {"save", "set-slave: also write the address's stored copy (EEPROM)."},
        {"keep-alive", "Write 10000 to the keep-alive word (29) every 2.5 s while the "
                       "command runs, as the terminal's \"Comm. Keep Alive\" does."},
        {"raw", "read, watch: print only the raw register word(s)."},
        {"text", "read, watch: print only the display text."},
        {"csv", "list: print CSV."},
        {"ini", "node: the INI file holding the node's settings.", "FILE"},
        {"node", "node: the section of the node's settings in the --ini file.", "NAME"},
        {"listen", "bridge: serve Modbus TCP on [HOST:]PORT (default 127.0.0.1:502).",
         "[HOST:]PORT"},
        {"ignore-size", "import: import although the file is for another drive size."},
        {"pdf", "print: write the report as a PDF to FILE.", "FILE"},
        {"db", "report: the SQLite database of the template's TABLE tags.", "FILE"},
        {{"o", "output"}, "report: write the report to FILE instead of standard output.", "FILE"},
    });
    parser.addPositionalArgument("command",
                                 "list, read, write, set, watch, ident, ports, scan, set-slave, "
                                 "node, bridge, export, import, print, compare or report, and its "
                                 "arguments.",
                                 "COMMAND [ARGS...]");
    if (!parser.parse(QCoreApplication::arguments()))
        return Usage(err, parser.errorText());
    if (parser.isSet("help")) {
        out << parser.helpText();
        return 0;
    }
    if (parser.isSet("version")) {
        out << "kx720 " << KX_VERSION << Qt::endl;
        return 0;
    }
    const QString verb = parser.positionalArguments().value(0);
    if (verb == "ports") {
        if (parser.positionalArguments().size() > 1)
            return Usage(err, "ports takes no arguments");
        return TKx720Ports().Run(out);
    }
    TKx720Job job;
    QString error;
    const bool node = parser.positionalArguments().value(0) == "node";
    TKx720NodeCmd::TOptions nodeOptions;
    if (node) {
        if (!parser.isSet("defs"))
            job.Defs = TKx720NodeCmd::kDefaultDefs;
        nodeOptions.IniFile = parser.value("ini");
        nodeOptions.NodeName = parser.value("node");
        if (nodeOptions.IniFile.isEmpty() != nodeOptions.NodeName.isEmpty())
            return Usage(err, "node wants both --ini FILE and --node NAME, or neither");
    }
    if (!ParseLink(parser, job, error) || !ParseNumbers(parser, job, error))
        return Usage(err, error);
    if (!parser.isSet("defs") && !node)
        job.Defs = nv::DefaultDefinitionsFile();
    job.Stats = parser.isSet("stats");
    if (verb == "scan" || verb == "set-slave") {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
    }
    if (verb == "scan") {
        TKx720ScanJob scan{.ComPort = job.ComPort,
                           .Timeout = parser.isSet("timeout") ? job.Timeout : 0,
                           .Defs = job.Defs};
        if (job.ComPort == 0)
            return Usage(err, "scan looks on a serial line: give --com N");
        if (parser.positionalArguments().size() > 1 ||
            (parser.isSet("slaves") &&
             !TKx720Scan::ParseSlaves(parser.value("slaves"), scan, error)) ||
            (parser.isSet("bauds") &&
             !TKx720Scan::ParseBauds(parser.value("bauds"), scan, error)) ||
            (parser.isSet("parity") &&
             !TKx720Scan::ParseParities(parser.value("parity"), scan, error)))
            return Usage(err, error.isEmpty() ? QStringLiteral("scan takes no arguments") : error);
        return TKx720Scan(scan, out, err, gSignal).Run();
    }
    if (verb == "set-slave") {
        TKx720SetSlaveJob setSlave{.Line = {.ComPort = job.ComPort,
                                            .Host = job.Host,
                                            .Port = job.Port,
                                            .Timeout = job.Timeout},
                                   .OldSlave = job.Slave,
                                   .Save = parser.isSet("save"),
                                   .Defs = job.Defs};
        if (parser.positionalArguments().size() != 2 ||
            !nv::TryStrToInt(parser.positionalArguments()[1], setSlave.NewSlave) ||
            setSlave.NewSlave < 1 || setSlave.NewSlave > 247)
            return Usage(err, "set-slave wants the new address, 1 to 247");
        return TKx720SetSlave(setSlave, out, err, gSignal).Run();
    }
    if (TKx720ReportCli::IsCommand(parser.positionalArguments().value(0)))
        return RunReport(parser, job, out, err);
    if (parser.positionalArguments().value(0) == "bridge") {
        TKx720Bridge bridge(job, out, err);
        if (parser.positionalArguments().size() > 1)
            return Usage(err, "bridge takes no arguments");
        if (parser.isSet("listen") && !bridge.ParseListen(parser.value("listen"), error))
            return Usage(err, error);
        return bridge.Run();
    }
    TKx720FileJob fileJob{.Command = TnvConfigJob::jmNone,
                          .File = {},
                          .Pdf = parser.value("pdf"),
                          .IgnoreSize = parser.isSet("ignore-size"),
                          .Host = job.Host,
                          .Port = job.Port,
                          .ComPort = job.ComPort,
                          .Slave = job.Slave,
                          .Defs = job.Defs,
                          .Timeout = job.Timeout};
    const bool fileCommand = TKx720FileCli::IsCommand(parser.positionalArguments().value(0));
    if (fileCommand ? !TKx720FileCli::Parse(parser.positionalArguments(), fileJob, error)
        : node ? !TKx720NodeCmd::ParseArguments(parser.positionalArguments().mid(1), nodeOptions,
                                                error)
               : !ParseCommand(parser.positionalArguments(), job, error))
        return Usage(err, error);
    job.Csv = parser.isSet("csv");
    job.RawOnly = parser.isSet("raw");
    job.TextOnly = parser.isSet("text");
    job.KeepAlive = parser.isSet("keep-alive");
    if (job.RawOnly && job.TextOnly)
        return Usage(err, "give at most one of --raw and --text");

    std::unique_ptr<TKx720NodeCmd> nodeCmd;
    std::unique_ptr<TKx720Cli> cli;
    std::unique_ptr<TKx720FileCli> fileCli;
    if (fileCommand)
        fileCli = std::make_unique<TKx720FileCli>(fileJob, out, err);
    else if (node)
        nodeCmd = std::make_unique<TKx720NodeCmd>(job, nodeOptions, out, err);
    else
        cli = std::make_unique<TKx720Cli>(job, out, err);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QTimer interruption;
    QObject::connect(&interruption, &QTimer::timeout, [&] {
        if (const int signal = gSignal.exchange(0)) {
            if (fileCli)
                fileCli->Interrupt(128 + signal);
            else
                node ? nodeCmd->Interrupt(128 + signal) : cli->Interrupt(128 + signal);
        }
    });
    interruption.start(20);
    if (fileCli)
        return fileCli->Run();
    return node ? nodeCmd->Run() : cli->Run();
}

} // namespace

int main(int argc, char** argv) {
    const int code = RunCommand(argc, argv);
    // Output to a full disk fails only when it is flushed: a run whose
    // results were lost has not succeeded.
    const bool flushed = std::fflush(stdout) == 0;
    const int error = flushed ? EIO : errno;
    if (!flushed || std::ferror(stdout)) {
        std::fprintf(stderr, "kx720: cannot write the output: %s\n", std::strerror(error));
        return code == 0 ? 1 : code;
    }
    return code;
}
