#include "engine/AppError.h"
#include "shared/modFileSys.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Unprivileged.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    Fixtures::writeAll(path, bytes);
}

// Every folder below root, relative and sorted.
QStringList foldersBelow(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root).relativeFilePath(it.next()));
    found.sort();
    return found;
}

class CreateFolderPath : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(path("Acc/Backup"));
        write(path("Acc/file.mdb"), "x");
    }
    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }

    QTemporaryDir dir;
};

TEST_F(CreateFolderPath, MakesEveryMissingLevelFromTheRootDown)
{
    struct Case
    {
        const char* name;
        QString path; // below the temporary folder
        short code;
        QStringList created;
        int error;
    };
    const Case cases[] = {
        {"existing folder", "Acc/Backup", modFileSys::FolderPath::AlreadyExisted, {}, 0},
        {"existing folder, trailing separator", "Acc/Backup/", modFileSys::FolderPath::AlreadyExisted, {}, 0},
        {"one new level",
         "Acc/Backup/DB-20240131235959",
         modFileSys::FolderPath::Created,
         {"Acc/Backup/DB-20240131235959"},
         0},
        {"several new levels, trailing separator",
         "New/Day1/Night/",
         modFileSys::FolderPath::Created,
         {"New", "New/Day1", "New/Day1/Night"},
         0},
        {"doubled separators",
         "Acc//Two//Three",
         modFileSys::FolderPath::Created,
         {"Acc/Two", "Acc/Two/Three"},
         0},
        {"a level under another case",
         "acc/BACKUP/DB-1",
         modFileSys::FolderPath::Created,
         {"Acc/Backup/DB-1"},
         0},
        {"Thai, blanks and an apostrophe",
         "บริษัท O'Neil/สำรอง ข้อมูล",
         modFileSys::FolderPath::Created,
         {"บริษัท O'Neil", "บริษัท O'Neil/สำรอง ข้อมูล"},
         0},
        {"a file in the way", "Acc/file.mdb/Sub", modFileSys::FolderPath::NothingCreated, {}, EEXIST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = foldersBelow(dir.path());
        int error = -1;
        EXPECT_EQ(modFileSys::CreateFolderPath(path(c.path), &error), c.code);
        EXPECT_EQ(error, c.error);
        QStringList added;
        for (const QString& folder : foldersBelow(dir.path()))
            if (!before.contains(folder))
                added.append(folder);
        EXPECT_EQ(added, c.created);
    }
}

TEST_F(CreateFolderPath, ARelativePathStartsAtTheCurrentFolder)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(path("Acc")));
    const short code = modFileSys::CreateFolderPath(QStringLiteral("Rel/Deeper"));
    QDir::setCurrent(previous);
    EXPECT_EQ(code, modFileSys::FolderPath::Created);
    EXPECT_TRUE(QFileInfo(path("Acc/Rel/Deeper")).isDir());
}

TEST_F(CreateFolderPath, AnEmptyPathRaisesErrorFive)
{
    try {
        modFileSys::CreateFolderPath(QString());
        FAIL() << "no error raised";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), 5);
        EXPECT_EQ(error.description(), QStringLiteral("Empty string passed."));
    }
}

TEST_F(CreateFolderPath, AFolderTheUserMayNotWriteStopsWithTheCodeReached)
{
    // Closed to others: nobody may look in, but not make anything inside.
    ::chmod(QFile::encodeName(path("Acc")).constData(), 0755);
    Unprivileged::makeReachable(path("Acc"));
    struct Case
    {
        QString path;
        short code;
    };
    for (const Case& c : {Case{"Acc/Backup/DB-1/Inner", modFileSys::FolderPath::NothingCreated},
                          Case{"Acc/Backup", modFileSys::FolderPath::AlreadyExisted}}) {
        SCOPED_TRACE(c.path.toStdString());
        const int status = Unprivileged::run([&] {
            int error = 0;
            const short code = modFileSys::CreateFolderPath(path(c.path), &error);
            if (code != c.code)
                return 10 + code;
            if (code == modFileSys::FolderPath::NothingCreated && error != EACCES)
                return 20;
            return 0;
        });
        EXPECT_EQ(status, 0);
    }
    EXPECT_FALSE(QFileInfo::exists(path("Acc/Backup/DB-1")));
}

} // namespace
