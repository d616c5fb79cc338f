#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// A program run to its end, as a test sees it from outside.
struct ProgramRun
{
    bool started = false;
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

// Runs the program with the arguments, in the folder (the test's own when empty), with the variables added
// to the environment and the input on its standard input; killed when it outlasts the timeout.
ProgramRun runProgram(const QString& program, const QStringList& arguments, const QString& workingFolder = {},
                      const QMap<QString, QString>& extraEnvironment = {}, const QByteArray& input = {},
                      int timeoutMs = 120000);
