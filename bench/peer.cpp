// The engine beside Qt's serial port class: the same transfers on the same
// pty in the same run, printed as ratios. Qt's class is used here only.
#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>

#include "EngineTransfer.h"
#include "PtyPort.h"
#include "PtyTransfer.h"
#include "TComm32.h"

using namespace bench;

namespace {

double QtToMaster(QSerialPort& port, int master)
{
    const QByteArray block(4096, 'q');
    const auto start = Clock::now();
    std::thread reader(Drain, master, TotalBytes);
    for (std::size_t sent = 0; sent < TotalBytes; sent += static_cast<std::size_t>(block.size())) {
        port.write(block);
        while (port.bytesToWrite() > 1 << 20)
            port.waitForBytesWritten(1000);
    }
    while (port.bytesToWrite() > 0 && port.waitForBytesWritten(1000)) {
    }
    reader.join();
    return TotalBytes / Seconds(Clock::now() - start);
}

double MasterToQt(QSerialPort& port, int master)
{
    std::atomic<std::size_t> got{0};
    const auto start = Clock::now();
    std::thread writer(FeedWindowed, master, TotalBytes, std::cref(got));
    while (got.load() < TotalBytes) {
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(5000))
            break;
        got.fetch_add(static_cast<std::size_t>(port.readAll().size()), std::memory_order_release);
    }
    writer.join();
    return TotalBytes / Seconds(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testsupport::PortDirectory ports;
    testsupport::PtyPort pty(4);

    TComm32 engine;
    const auto [engineOut, engineIn] = MeasureEngine(engine, 4, pty.MasterFd());

    QSerialPort port;
    port.setPortName(QString::fromStdString(pty.SlavePath()));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "QSerialPort cannot open %s: %s\n", pty.SlavePath().c_str(),
                     port.errorString().toLocal8Bit().constData());
        return 1;
    }
    const double qtOut = QtToMaster(port, pty.MasterFd());
    const double qtIn = MasterToQt(port, pty.MasterFd());
    port.close();

    Print("qserialport_write_throughput", qtOut / 1e6, "MB/s", "info");
    Print("qserialport_read_throughput", qtIn / 1e6, "MB/s", "info");
    Print("engine_vs_qserialport_write", engineOut / qtOut, "x", "info");
    Print("engine_vs_qserialport_read", engineIn / qtIn, "x", "info");
    return 0;
}
