// kx720-sim: a KX720 drive on Modbus RTU and TCP, for the terminal and tests.

#include "NvParIndex.h"
#include "TnvError.h"
#include "TnvSimDefinitions.h"
#include "TnvSimDrive.h"
#include "TnvSimEeprom.h"
#include "TnvSimFaults.h"
#include "TnvSimMachine.h"
#include "TnvSimOptions.h"
#include "TnvSimRegisterStore.h"
#include "TnvSimRequestLog.h"
#include "TnvSimServer.h"
#include "TnvSimSlave.h"

#include <QStringList>
#include <cstdio>
#include <memory>

namespace {

void Print(FILE* stream, const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void Warn(const QString& line) {
    Print(stderr, QStringLiteral("kx720-sim: ") + line);
}

std::unique_ptr<TnvSimModel> NewModel(const TnvSimOptions& options, TnvSimRegisterStore& store,
                                      TnvSimEeprom& eeprom) {
    const uint8_t address = options.Slave.value_or(TnvSimOptions::kDefaultSlave);
    if (options.Machine) {
        store.SetWord(nv::par::kSlave, address);
        return std::make_unique<TnvSimMachine>(
            store, options.Programs.isEmpty() ? TnvSimMachine::GeneratedPrograms()
                                              : TnvSimMachine::LoadPrograms(options.Programs));
    }
    auto drive = std::make_unique<TnvSimDrive>(store, options.Size, options.Seed);
    drive->LoadFactoryDefaults(address);
    eeprom.Load(store);
    drive->PowerUp();
    if (options.Slave)
        store.SetWord(nv::par::kSlave, *options.Slave);
    drive->OnFault = [](int bit, const QString& reason) {
        Warn(QStringLiteral("fault bit %1: %2").arg(bit).arg(reason));
    };
    return drive;
}

int Serve(const TnvSimOptions& options) {
    TnvSimRegisterStore store(TnvSimDefinitions::Load(options.Defs));
    TnvSimEeprom eeprom(options.Eeprom);
    const std::unique_ptr<TnvSimModel> model = NewModel(options, store, eeprom);

    TnvSimSlave slave(store, *model, eeprom, options.Identity);
    slave.OnLog = Warn;
    TnvSimFaults faults(options.Faults, options.Seed);
    std::unique_ptr<TnvSimRequestLog> requestLog;
    if (!options.Log.isEmpty()) {
        requestLog = std::make_unique<TnvSimRequestLog>(options.Log);
        requestLog->OnError = Warn;
    }
    TnvSimServer server(slave, *model, faults);
    server.SetBaud(options.Baud);
    server.OnLog = Warn;
    if (requestLog)
        server.SetRequestLog(requestLog.get());
    TnvSimServer::InstallSignalHandlers(server);
    if (options.Faults.BadCrc > 0.0 && options.Serial.isEmpty() && options.Pty.isEmpty())
        Warn(QStringLiteral("--bad-crc acts on RTU links only"));
    if (options.Faults.DropAfter > 0 && options.Tcp.empty())
        Warn(QStringLiteral("--drop-after acts on TCP links only"));

    QStringList ready;
    for (const auto& endpoint : options.Tcp)
        ready << server.ListenTcp(endpoint.Host, endpoint.Port);
    for (const QString& link : options.Pty)
        ready << server.OpenPty(link);
    for (const QString& device : options.Serial)
        ready << server.OpenSerial(device);
    for (const QString& line : ready)
        Print(stdout, line);
    server.Run();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    TnvSimOptions options;
    try {
        options = TnvSimOptions::Parse(arguments);
    } catch (const TnvError& error) {
        Warn(error.Message());
        return 2;
    }
    if (options.Version) {
        std::puts("kx720-sim " KX_VERSION);
        return 0;
    }
    if (options.Help) {
        std::fputs(TnvSimOptions::HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    try {
        return Serve(options);
    } catch (const TnvError& error) {
        Warn(error.Message());
        return 1;
    }
}
