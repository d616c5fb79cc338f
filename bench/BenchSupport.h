#pragma once

#include <QString>
#include <QVector>

// Helpers shared by the benchmark programs.
namespace BenchSupport {
// Seconds since this process was started by the kernel (from /proc/self/stat).
double secondsSinceProcessStart();
// Peak resident memory of this process in MiB.
double peakResidentMiB();
// Wall time of a whole command run with the given standard input, in seconds; -1 when it failed.
double timeCommand(const QString& program, const QStringList& arguments, const QByteArray& input);
double median(QVector<double> values);
} // namespace BenchSupport
