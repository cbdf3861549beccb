// The floors of the idle-polling CPU figure: a bare libmodbus loop reading 19
// registers one by one from the same Python peer the thread benchmark uses,
// at the rate the thread reached, with nothing else in the process. Run by
// bench_modbus in windows that take turns with the thread.
//
//   bench_poll_floor READS_PER_SECOND [SECONDS] [handoff]
// With "handoff", each pass is handed to a second thread that waits for it,
// as in any program that shows its readings in another thread than the one
// that polls: one wake-up of a waiting thread a pass, and nothing else.
// It prints "cpu_percent X", "reads_per_s Y" and "wakeups_per_s Z" (context
// switches of the process).
#include <modbus.h>

#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

// Voluntary and involuntary context switches of the process so far.
double Wakeups() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw);
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_poll_floor READS_PER_SECOND [SECONDS]\n");
        return 2;
    }
    const double rate = std::atof(argv[1]);
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
    const bool handoff = argc > 3 && std::string_view(argv[3]) == "handoff";
    if (rate <= 0 || seconds <= 0) {
        std::fprintf(stderr, "bench_poll_floor: rate and time must be positive\n");
        return 2;
    }
    QProcess peer;
    peer.start("/usr/bin/python3",
               {QStringLiteral(KX_SOURCE_DIR "/tests/modbus/peers/peer.py"), "tcp", "0"});
    while (!peer.canReadLine() && peer.waitForReadyRead(10000)) {
    }
    const int port = QString::fromLocal8Bit(peer.readLine()).trimmed().section(' ', 1, 1).toInt();
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    modbus_set_slave(ctx, 1);
    if (port <= 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "bench_poll_floor: the peer did not start\n");
        return 1;
    }
    constexpr uint64_t kLastPass = uint64_t{1} << 62;
    const int passes = eventfd(0, 0);
    std::thread shower;
    if (handoff) {
        shower = std::thread([passes] {
            uint64_t count = 0;
            while (read(passes, &count, sizeof count) == sizeof count && count < kLastPass) {
            }
        });
    }
    using TClock = std::chrono::steady_clock;
    const auto cycle = std::chrono::duration<double>(19.0 / rate);
    const auto start = TClock::now();
    const double cpu0 = CpuSeconds();
    const double wakeups0 = Wakeups();
    long reads = 0;
    auto next = start;
    while (TClock::now() - start < std::chrono::duration<double>(seconds)) {
        for (int address = 0; address < 19; ++address) {
            uint16_t value = 0;
            modbus_read_registers(ctx, address, 1, &value);
            ++reads;
        }
        if (handoff) {
            const uint64_t one = 1;
            if (write(passes, &one, sizeof one) != sizeof one)
                std::perror("bench_poll_floor: eventfd");
        }
        next += std::chrono::duration_cast<TClock::duration>(cycle);
        std::this_thread::sleep_until(next);
    }
    const double elapsed = std::chrono::duration<double>(TClock::now() - start).count();
    std::printf("cpu_percent %.4f\nreads_per_s %.1f\nwakeups_per_s %.1f\n",
                (CpuSeconds() - cpu0) / elapsed * 100.0, static_cast<double>(reads) / elapsed,
                (Wakeups() - wakeups0) / elapsed);
    if (handoff) {
        if (write(passes, &kLastPass, sizeof kLastPass) != sizeof kLastPass)
            std::perror("bench_poll_floor: eventfd");
        shower.join();
    }
    close(passes);
    modbus_close(ctx);
    modbus_free(ctx);
    peer.kill();
    peer.waitForFinished();
    return 0;
}
