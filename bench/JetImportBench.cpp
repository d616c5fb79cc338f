// The import of Jet databases beside the pipeline one would otherwise use: mdb-schema and mdb-export of
// Debian's mdbtools piped into the sqlcipher shell, writing a protected database of the same tables.
// Each run is measured in a child process of its own, so that its peak memory is its own.
//
//     bench_jetimport [--runs N] [--rows N] [FILE.mdb ...]
//
// Without files: the sample files of the tests, and a table of --rows rows (default 100,000) grown from
// the Jet 4 sample, which shows whether memory stays flat as rows grow.

#include "base/AppError.h"
#include "bench/BenchSupport.h"
#include "maintenance/jetimport/DatabaseImport.h"
#include "maintenance/jetimport/JetDatabase.h"
#include "tests/jetimport/ManyRowJetFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Password = QStringLiteral("Marigold4817");

struct Measure
{
    double seconds = -1;
    double peakMiB = -1;
    qint64 rows = 0;
    double startMiB = 0; // the peak before the work began: what the process held already
};

// Runs body in a forked child that writes "seconds peak rows" into a pipe.
Measure inChild(const std::function<Measure()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const Measure m = body();
        const QByteArray line = QByteArray::number(m.seconds, 'f', 6) + ' ' +
                                QByteArray::number(m.peakMiB, 'f', 1) + ' ' + QByteArray::number(m.rows) +
                                ' ' + QByteArray::number(m.startMiB, 'f', 1);
        if (::write(fds[1], line.constData(), static_cast<size_t>(line.size())) < 0)
            ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray text;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<qsizetype>(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const QList<QByteArray> parts = text.split(' ');
    if (parts.size() != 4)
        return {};
    return {parts[0].toDouble(), parts[1].toDouble(), parts[2].toLongLong(), parts[3].toDouble()};
}

double childrenPeakMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

Measure ours(const QString& file, const QString& target)
{
    return inChild([&] {
        Measure m;
        m.startMiB = BenchSupport::peakResidentMiB();
        JetImport::ImportOptions options;
        options.password = Password;
        QElapsedTimer timer;
        timer.start();
        try {
            m.rows = JetImport::importDatabase(file, target, options).rows;
        } catch (const AppError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return m;
        }
        m.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        m.peakMiB = BenchSupport::peakResidentMiB();
        return m;
    });
}

QString shellQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

Measure pipeline(const QString& file, const QStringList& tables, const QString& target)
{
    QString script = QStringLiteral("{ echo \"PRAGMA key = '%1';\"; echo 'BEGIN;'; mdb-schema %2 sqlite;")
                         .arg(Password, shellQuoted(file));
    for (const QString& table : tables)
        script += QStringLiteral(" mdb-export -I sqlite -q \"'\" -b hex %1 %2;")
                      .arg(shellQuoted(file), shellQuoted(table));
    script += QStringLiteral(" echo 'COMMIT;'; } | sqlcipher -batch %1 > /dev/null").arg(shellQuoted(target));
    return inChild([&] {
        Measure m;
        QElapsedTimer timer;
        timer.start();
        const int status = std::system(script.toLocal8Bit().constData());
        if (status != 0)
            return m;
        m.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        m.peakMiB = childrenPeakMiB();
        return m;
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList files;
    int runs = 3;
    qint64 manyRows = 100000;
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--runs") && i + 1 < arguments.size())
            runs = std::max(1, arguments[++i].toInt());
        else if (arguments[i] == QLatin1String("--rows") && i + 1 < arguments.size())
            manyRows = std::max<qint64>(6, arguments[++i].toLongLong());
        else
            files.append(arguments[i]);
    }
    QTemporaryDir grown;
    if (files.isEmpty()) {
        files = {QStringLiteral(JET_SAMPLES "/nwind.mdb"),
                 QStringLiteral(JET_SAMPLES "/DateTestDatabase.mdb")};
        const QString many = grown.filePath(QStringLiteral("DateTest-%1-rows.mdb").arg(manyRows));
        const QString failure =
            ManyRowJetFile::write(QStringLiteral(JET_SAMPLES "/DateTestDatabase.mdb"), many, manyRows);
        if (!failure.isEmpty()) {
            QTextStream(stderr) << "the many-row table cannot be made: " << failure << "\n";
            return 1;
        }
        files.append(many);
    }

    QTextStream out(stdout);
    // The import's peak includes what the benchmark's own process held before it began (its growth is
    // shown beside it); the pipeline's is that of its largest process.
    out << "file  rows  import: rows/s peak-MiB (grew)  mdb-export|sqlcipher: rows/s peak-MiB  time ratio "
           "(import/pipeline)\n";
    for (const QString& file : files) {
        QStringList tables;
        try {
            tables = JetImport::JetDatabase(file).tableNames();
        } catch (const AppError& error) {
            out << file << ": " << error.description() << "\n";
            continue;
        }
        QVector<double> ourTimes;
        QVector<double> theirTimes;
        double ourPeak = 0;
        double ourGrowth = 0;
        double theirPeak = 0;
        qint64 rows = 0;
        for (int run = 0; run < runs; ++run) {
            QTemporaryDir dir;
            // Alternating, so that neither side always finds the page cache warmed by the other.
            const Measure a = ours(file, dir.filePath(QStringLiteral("import.db")));
            const Measure b = pipeline(file, tables, dir.filePath(QStringLiteral("pipeline.db")));
            if (a.seconds < 0 || b.seconds < 0) {
                out << file << ": a run failed\n";
                return 1;
            }
            ourTimes.append(a.seconds);
            theirTimes.append(b.seconds);
            ourPeak = std::max(ourPeak, a.peakMiB);
            ourGrowth = std::max(ourGrowth, a.peakMiB - a.startMiB);
            theirPeak = std::max(theirPeak, b.peakMiB);
            rows = a.rows;
        }
        const double ourTime = BenchSupport::median(ourTimes);
        const double theirTime = BenchSupport::median(theirTimes);
        out << QDir(file).dirName() << "  " << rows << "  " << qRound64(rows / ourTime) << " " << ourPeak
            << " (" << ourGrowth << ")  " << qRound64(rows / theirTime) << " " << theirPeak << "  "
            << QString::number(ourTime / theirTime, 'f', 2) << "\n";
        out.flush();
    }
    return 0;
}
