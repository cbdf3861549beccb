// What a Modbus TCP client waits for a read through the transport's TCP
// server, against the same read made directly on the serial link, with the
// simulator on a pty: once at 19200 baud (the simulator delays each reply by
// the time the frames take on such a wire) and once at the pty's own speed,
// where the difference is the server's own cost per request.

#include "RawTcpClient.h"
#include "TCTCPIPServer.h"
#include "TModbusSrv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using kxtest::RawTcpClient;

constexpr uint8_t kDrive = 2;
constexpr uint16_t kMainVoltage = 4;

// kx720-sim on a pty that COM1 of a private config folder names, and the
// link to it.
class TRig {
public:
    explicit TRig(int lineSpeed) {
        QDir(FDir.path()).mkpath("kx720");
        qputenv("XDG_CONFIG_HOME", FDir.path().toLocal8Bit());
        const QString pty = FDir.path() + "/drive";
        QFile ports(FDir.path() + "/kx720/ports.ini");
        ports.open(QIODevice::WriteOnly);
        ports.write(("COM1=" + pty + "\n").toLocal8Bit());
        ports.close();
        QStringList arguments{KX_SIM_BINARY, "--defs",
                              QStringLiteral(KX_SOURCE_DIR "/data/VF_Parameters_v207.ini"), "--pty",
                              pty};
        if (lineSpeed > 0)
            arguments << "--line-speed" << QString::number(lineSpeed);
        Spawn(arguments);
        FLink.OpenConnection("COM1", TModbusSrv::lkSerial);
        FLink.put_PortNumber(1);
        FLink.put_BaudRate(19200);
        FLink.put_Parity(2);
        FLink.put_StopBits(50);
        FLink.put_Timeout(1000);
        FReady = FReady && FLink.Connect();
        FServer = FLink.CreateTCPServer();
        FServer->put_Port(0);
        FReady = FReady && FServer->StartServer();
    }
    ~TRig() {
        FServer.reset();
        FLink.CloseConnection();
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
        }
    }
    bool Ready() const { return FReady; }
    int Port() const { return FServer->GetListenPort(); }

    // One read on the link itself, in ns; negative when it failed.
    double DirectRead() {
        const std::vector<uint8_t> query{kDrive, 0x03, 0x00, kMainVoltage, 0x00, 0x01};
        std::vector<uint8_t> response;
        QElapsedTimer clock;
        clock.start();
        const int32_t status = FLink.TxRxMessage(query, 6, response);
        return status == 0 ? static_cast<double>(clock.nsecsElapsed()) : -1;
    }

private:
    void Spawn(const QStringList& arguments) {
        int output[2];
        if (pipe(output) != 0)
            return;
        std::vector<QByteArray> storage;
        for (const QString& a : arguments)
            storage.push_back(a.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& a : storage)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(output[1]);
        pollfd p{output[0], POLLIN, 0};
        char line[256] = {};
        FReady = poll(&p, 1, 10000) > 0 && read(output[0], line, sizeof line - 1) > 0 &&
                 QByteArray(line).startsWith("ready pty");
        close(output[0]);
    }

    QTemporaryDir FDir;
    pid_t FPid = -1;
    TModbusSrv FLink;
    std::unique_ptr<TCTCPIPServer> FServer;
    bool FReady = false;
};

// The sample below which a share q of them lies.
double Quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    const auto at =
        samples.begin() + static_cast<long>(q * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), at, samples.end());
    return *at;
}

// Direct and bridged reads take turns, so that both see the same load.
void BM_BridgedVersusDirectRead(benchmark::State& state) {
    TRig rig(static_cast<int>(state.range(0)));
    if (!rig.Ready()) {
        state.SkipWithError("the simulator or the link did not start");
        return;
    }
    RawTcpClient client(static_cast<uint16_t>(rig.Port()));
    std::vector<double> direct;
    std::vector<double> bridged;
    for (auto _ : state) {
        direct.push_back(rig.DirectRead());
        QElapsedTimer clock;
        clock.start();
        const auto reply = client.Transact(kDrive, RawTcpClient::ReadPdu(kMainVoltage));
        bridged.push_back(reply && reply->size() == 5 ? static_cast<double>(clock.nsecsElapsed())
                                                      : -1);
    }
    if (std::count(direct.begin(), direct.end(), -1.0) +
            std::count(bridged.begin(), bridged.end(), -1.0) >
        0)
        state.SkipWithError("a read failed");
    const double d = Quantile(direct, 0.5);
    const double b = Quantile(bridged, 0.5);
    state.counters["direct_p90_us"] = Quantile(direct, 0.9) / 1000;
    state.counters["bridged_p90_us"] = Quantile(bridged, 0.9) / 1000;
    state.counters["direct_us"] = d / 1000;
    state.counters["bridged_us"] = b / 1000;
    state.counters["added_us"] = (b - d) / 1000;
    state.counters["ratio"] = b / d;
}
BENCHMARK(BM_BridgedVersusDirectRead)
    ->ArgName("baud")
    ->Arg(19200)
    ->Arg(0)
    ->Iterations(400)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
