#include "maintenance/cli/Commands.h"

const QList<Command>& commands()
{
    static const QList<Command> table{
        {QStringLiteral("backup"), QStringLiteral("[--overwrite] [--keep N] APP_FOLDER [TARGET_FOLDER]"),
         QStringLiteral("make a verified backup DB-<yyyymmddhhmmss> (under APP_FOLDER/Backup by default)"),
         &runBackupCommand},
        {QStringLiteral("verify"), QStringLiteral("BACKUP_FOLDER"),
         QStringLiteral("check a backup against its manifest BACKUP_FOLDER.sha256 and its databases"),
         &runVerifyCommand},
        {QStringLiteral("restore"), QStringLiteral("[--overwrite] BACKUP_FOLDER APP_FOLDER"),
         QStringLiteral("check a backup, then put its files into APP_FOLDER"), &runRestoreCommand},
        {QStringLiteral("compact"), QStringLiteral("[--password-file FILE | --password-stdin] DATABASE_FILE"),
         QStringLiteral("compact one database file in place"), &runCompactCommand},
        {QStringLiteral("import"), QStringLiteral("[--code-page N] SOURCE TARGET"),
         QStringLiteral("convert a Jet database file, or a Windows application folder, into a new TARGET"),
         &runImportCommand},
    };
    return table;
}
