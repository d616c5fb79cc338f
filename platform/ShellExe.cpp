#include "platform/ShellExe.h"

#include "base/AppError.h"
#include "platform/ProgramStarter.h"

#include <QHash>

namespace ShellExe {

QString ShellErrorText(long code)
{
    static const QHash<long, QString> texts = {
        {0, QStringLiteral("Insufficient memory or executable file was corrupt.")},
        {2, QStringLiteral("File not found.")},
        {3, QStringLiteral("Invalid path.")},
        {5, QStringLiteral("Sharing or network-protection error. Access denied.")},
        {6, QStringLiteral("Library required separate data segments for each task.")},
        {8, QStringLiteral("There was insufficient memory to start the application.")},
        {10, QStringLiteral("Invalid Windows version.")},
        {11, QStringLiteral("Executable file was invalid. Either it was not a Windows application or there "
                            "was an error in the .EXE image.")},
        {12, QStringLiteral("Application was designed for a different operating system.")},
        {13, QStringLiteral("Application was designed for MS-DOS 4.0.")},
        {14, QStringLiteral("Is an unknown executable file type.")},
        {15, QStringLiteral("Protected memory mode problem. Real-mode application developed for an earlier "
                            "version of Windows.")},
        {16, QStringLiteral("Invalid use of data segments (not marked read-only) when loading a second "
                            "instance.")},
        {19, QStringLiteral("Is a compressed executable file. The file must be decompressed before it can be "
                            "loaded.")},
        {20, QStringLiteral("Invalid DLL. One of the DLLs required to run this application was corrupt.")},
        {21, QStringLiteral("Application requires Microsoft Windows 32-bit extensions.")},
        {26, QStringLiteral("A sharing violation occurred.")},
        {27, QStringLiteral("File name association is incomplete or invalid.")},
        {28, QStringLiteral("The DDE transaction timed out.")},
        {29, QStringLiteral("The DDE transaction failed.")},
        {30, QStringLiteral("The DDE transaction failed because other transactions were being processed.")},
        {31, QStringLiteral("There is no application associated with that file type.")},
        {32, QStringLiteral("The specified dynamic-link library was not found.")},
    };
    const auto found = texts.constFind(code);
    if (found != texts.constEnd())
        return found.value();
    return QStringLiteral("Error Number: ") + QString::number(code);
}

long ExecuteFile(IProgramStarter& starter, const QString& FileName, long ShowCommand,
                 const QString& Parameters, const QString& Directory)
{
    const long result = starter.start(FileName, Parameters, Directory, int(ShowCommand));
    if (result > 32)
        return result;
    throw AppError(ErrorNumber::ShellExecuteFailed, ShellErrorText(result));
}

} // namespace ShellExe
