#include "TnvSimOptions.h"

#include "TnvError.h"
#include "TnvSimPty.h"

namespace {

[[noreturn]] void Fail(const QString& option, const QString& value, const QString& expected) {
    throw TnvError(QStringLiteral("%1: '%2' is not %3").arg(option, value, expected));
}

uint64_t ParseUnsigned(const QString& option, const QString& value, uint64_t max) {
    bool ok = false;
    const uint64_t number = value.startsWith("0x", Qt::CaseInsensitive)
                                ? value.mid(2).toULongLong(&ok, 16)
                                : value.toULongLong(&ok, 10);
    if (!ok || number > max)
        Fail(option, value, QStringLiteral("a number from 0 to %1").arg(max));
    return number;
}

double ParseProbability(const QString& option, const QString& value) {
    bool ok = false;
    const double p = value.toDouble(&ok);
    if (!ok || !(p >= 0.0 && p <= 1.0)) // NaN fails every comparison
        Fail(option, value, QStringLiteral("a probability from 0 to 1"));
    return p;
}

TnvSimOptions::TTcpEndpoint ParseEndpoint(const QString& value) {
    TnvSimOptions::TTcpEndpoint endpoint;
    const qsizetype colon = value.lastIndexOf(':');
    if (colon >= 0) {
        endpoint.Host = value.left(colon);
        if (endpoint.Host.isEmpty())
            Fail("--tcp", value, QStringLiteral("[HOST:]PORT"));
    }
    endpoint.Port = static_cast<uint16_t>(ParseUnsigned("--tcp", value.mid(colon + 1), 65535));
    return endpoint;
}

std::pair<uint16_t, uint8_t> ParseException(const QString& value) {
    const QStringList parts = value.split(':');
    if (parts.size() != 2)
        Fail("--exception", value, QStringLiteral("ADDR:CODE"));
    const auto address = static_cast<uint16_t>(ParseUnsigned("--exception", parts[0], 0xFFFF));
    const auto code = static_cast<uint8_t>(ParseUnsigned("--exception", parts[1], 0xFF));
    if (code == 0)
        Fail("--exception", value, QStringLiteral("an exception code from 1 to 255"));
    return {address, code};
}

} // namespace

TnvSimOptions TnvSimOptions::Parse(const QStringList& arguments) {
    TnvSimOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = option.indexOf('='); option.startsWith("--") && eq > 0) {
            value = option.mid(eq + 1);
            option = option.left(eq);
            hasValue = true;
        }
        if (option == "--help" || option == "-h") {
            options.Help = true;
            continue;
        }
        if (option == "--version") {
            options.Version = true;
            continue;
        }
        if (option == "--machine") {
            options.Machine = true;
            continue;
        }
        static const QStringList kWithValue{
            "--tcp",   "--serial",   "--pty",       "--slave",      "--defs",
            "--size",  "--eeprom",   "--seed",      "--ident",      "--silence",
            "--delay", "--bad-crc",  "--exception", "--drop-after", "--line-speed",
            "--log",   "--programs", "--stuck",     "--baud"};
        if (!kWithValue.contains(option))
            throw TnvError(QStringLiteral("unknown option %1 (see --help)").arg(option));
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                throw TnvError(QStringLiteral("%1 needs a value (see --help)").arg(option));
            value = arguments[++i];
        }
        if (option == "--tcp")
            options.Tcp.push_back(ParseEndpoint(value));
        else if (option == "--serial")
            options.Serial << value;
        else if (option == "--pty")
            options.Pty << value;
        else if (option == "--slave") {
            const auto slave = ParseUnsigned(option, value, 247);
            if (slave < 1)
                Fail(option, value, QStringLiteral("a slave address from 1 to 247"));
            options.Slave = static_cast<uint8_t>(slave);
        } else if (option == "--defs")
            options.Defs = value;
        else if (option == "--size")
            options.Size = static_cast<uint16_t>(ParseUnsigned(option, value, 0xFFFF));
        else if (option == "--eeprom")
            options.Eeprom = value;
        else if (option == "--programs")
            options.Programs = value;
        else if (option == "--log")
            options.Log = value;
        else if (option == "--seed")
            options.Seed = ParseUnsigned(option, value, UINT64_MAX);
        else if (option == "--ident") {
            const auto identity = TnvSimIdentity::Parse(value);
            if (!identity)
                Fail(option, value, QStringLiteral("MODEL[SUFFIX]:FIRMWARE[SUFFIX]"));
            options.Identity = *identity;
        } else if (option == "--silence")
            options.Faults.Silence = ParseProbability(option, value);
        else if (option == "--delay")
            options.Faults.Delay = std::chrono::milliseconds(ParseUnsigned(option, value, 600000));
        else if (option == "--bad-crc")
            options.Faults.BadCrc = ParseProbability(option, value);
        else if (option == "--exception")
            options.Faults.Exceptions.insert(ParseException(value));
        else if (option == "--stuck")
            options.Faults.Stuck.insert(
                static_cast<uint16_t>(ParseUnsigned(option, value, 0xFFFF)));
        else if (option == "--drop-after") {
            options.Faults.DropAfter =
                static_cast<uint32_t>(ParseUnsigned(option, value, UINT32_MAX));
            if (options.Faults.DropAfter == 0)
                Fail(option, value, QStringLiteral("a count of at least 1"));
        } else if (option == "--baud") {
            options.Baud = static_cast<int>(ParseUnsigned(option, value, 4000000));
            if (!TnvSimPty::IsLineSpeed(options.Baud))
                Fail(option, value, QStringLiteral("a standard baud rate (9600, 19200, ...)"));
        } else if (option == "--line-speed") {
            options.Faults.LineSpeed = static_cast<int>(ParseUnsigned(option, value, 4000000));
            if (options.Faults.LineSpeed < 50)
                Fail(option, value, QStringLiteral("a baud rate from 50 to 4000000"));
        }
    }
    if (!options.Programs.isEmpty() && !options.Machine)
        throw TnvError(QStringLiteral("--programs needs --machine (see --help)"));
    if (options.Tcp.empty() && options.Serial.isEmpty() && options.Pty.isEmpty())
        options.Tcp.push_back(TTcpEndpoint{});
    return options;
}

QString TnvSimOptions::HelpText() {
    return QStringLiteral(
        R"(Usage: kx720-sim [OPTION]...
A KX720 V/F drive on Modbus: an RTU and TCP slave whose registers come from
the parameter definitions file and whose values follow a drive model.

Links (each may be given several times; without any: --tcp 127.0.0.1:1502):
  --tcp [HOST:]PORT      Modbus TCP on HOST (an IPv4 address, default
                         127.0.0.1) and PORT; port 0 takes a free port.
                         Serves several clients at once.
  --serial DEVICE        Modbus RTU on a serial device, at --baud, 8 data
                         bits, even parity, 1 stop bit.
  --pty LINK             Modbus RTU on a pseudo terminal it creates, with the
                         symbolic link LINK to it (point a COM port there).
                         LINK is replaced if it is a symbolic link and
                         removed on exit.
  --baud B               line speed of the RTU links (default 19200). On a
                         pty the drive hears only requests sent while the
                         client's port is set to B, as a drive on a line at
                         another speed hears only noise (a pty keeps no
                         parity, so parity is not checked).

The drive:
  --slave A              slave address 1 to 247 (default: the stored copy
                         of the address, else 2)
  --defs FILE            definitions file (default: VF_Parameters_v207.ini
                         of the current directory)
  --size CODE            drive-size code, decimal or 0x hexadecimal
                         (default 0x0000: 400 V, 8 A, 128 Hz)
  --eeprom FILE          file that keeps the stored copies across restarts
                         (default: kept in memory only)
  --seed N               seed of the model's noise and the fault injection
                         (default 1)
  --ident MODEL:FW       identification answered to function 0x41, each a
                         number with up to two suffix characters
                         (default 720A:207, shown as KX720-A and 2.07)

A machine instead of the drive (give its definitions with --defs, e.g.
data/TD_Machine.ini):
  --machine              play a machine node: writing program number i to
                         the register of parameter 10 selects it (it reads
                         back 0x0100 | i) and the four registers of parameter
                         11 then hold its header; the fault word (2) and the
                         state and alarm words (401 to 403) take writes, so
                         that a test can raise an alarm
  --programs FILE        the program table: lines "INDEX W0 W1 W2 W3", or
                         "INDEX refuse" (reading its header answers exception
                         04) or "INDEX ignore" (selecting it changes nothing);
                         "#" starts a comment (default: programs 0 to 99,
                         header i is i, 10 + i % 20, 60 + i, 0xC0DE)

Fault injection (for tests; random choices follow --seed):
  --silence P            lose a request (no execution, no reply) with
                         probability P
  --delay MS             delay every reply by MS milliseconds
  --bad-crc P            corrupt the CRC of an RTU reply with probability P
  --exception ADDR:CODE  answer every request that addresses register ADDR
                         with exception CODE, without executing it (may be
                         given several times)
  --stuck ADDR           acknowledge every write that addresses register ADDR
                         without executing it, so the register keeps its
                         word (may be given several times)
  --drop-after N         close a TCP connection after its N-th request
  --line-speed BAUD      delay every reply by the time request and reply take
                         on a wire at BAUD (11 bits a character and the two
                         3.5-character silences)

Request log:
  --log FILE             write one line per request to FILE (emptied at
                         start), flushed line by line. Tab-separated fields:
                           TIME LINK SLAVE FUNCTION ADDRESS QUANTITY OUTCOME
                         TIME: seconds since start, three decimals; LINK:
                         tcp/N (N-th connection), pty:LINK or serial:DEVICE;
                         SLAVE: decimal; FUNCTION: two hex digits; ADDRESS,
                         QUANTITY: decimal, as requested, "-" for functions
                         without them; OUTCOME: "reply" or "exception XX",
                         followed by " bad-crc" when the CRC was corrupted,
                         or "none" and why: silence, other-slave, broadcast,
                         malformed, not-modbus, line-speed (a pty client
                         at another speed than --baud). Lines starting
                         with # are comments.

  -h, --help             show this help
      --version          show the version

Protocol: function 3 (a quantity-1 read at a parameter's first register
answers the whole parameter), 6, 16 (quantity 1 with the parameter's byte
count, or plain), 0x41 (12-byte identification). Exceptions: 01 unknown
function, 02 unmapped register or a write to a read-only parameter, 03
malformed request or a slave address outside 1 to 247, 04 a stored copy that
could not be written to the EEPROM file. Over RTU other slave addresses get
no answer and address 0 is a broadcast (writes executed, no answer); over
TCP unit ids 0 and 255 count as the drive's address and other ids get
exception 0B.

The drive stops with "Communication Lost" (fault bit 12) when its commands
come from Modbus and the keep-alive word (29) has not been written again
within the time it holds, in ms, while it runs; each write reloads the watch
with the written time, 0 switches it off, and the drive starts with 5000.

Each link prints one line when it serves, e.g. "ready tcp 127.0.0.1:1502"
or "ready pty LINK /dev/pts/N". SIGINT and SIGTERM end the simulator.
)");
}
