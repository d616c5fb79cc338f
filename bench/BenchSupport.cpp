#include "bench/BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace BenchSupport {

double secondsSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Field 22 (start time in clock ticks since boot) counts from after the command name's ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const double uptime = double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    return uptime - startTicks / double(::sysconf(_SC_CLK_TCK));
}

double peakResidentMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double timeCommand(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return -1;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace BenchSupport
