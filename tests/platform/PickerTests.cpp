#include "platform/QtPickers.h"
#include "tests/platform/PlatformTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(DialogNameFilters, TurnsDescriptionPatternPairsIntoQtFilters)
{
    struct Case
    {
        QString filter;
        QStringList nameFilters;
    };
    const Case cases[] = {
        {QStringLiteral("Access Databases|*.mdb"), {QStringLiteral("Access Databases (*.mdb)")}},
        {QStringLiteral("Access Databases|*.mdb|All Files|*.*"),
         {QStringLiteral("Access Databases (*.mdb)"), QStringLiteral("All Files (*.*)")}},
        {QStringLiteral("Databases|*.mdb;*.accdb"), {QStringLiteral("Databases (*.mdb *.accdb)")}},
        // A trailing "|" ends the list; it adds no entry of its own.
        {QStringLiteral("Access Databases|*.mdb|"), {QStringLiteral("Access Databases (*.mdb)")}},
        // A description whose pattern is empty still is an entry, one that hides nothing.
        {QStringLiteral("Access Databases|"), {QStringLiteral("Access Databases (*)")}},
        {QStringLiteral("Access Databases"), {QStringLiteral("Access Databases (*)")}},
        // An empty description ends the list, as the empty text between two separators did.
        {QStringLiteral("|*.mdb"), {}},
        {QStringLiteral("Access (Jet 4)|*.mdb"), {QStringLiteral("Access (Jet 4) (*.mdb)")}},
        {QStringLiteral("A|*.mdb||B|*.bak"), {QStringLiteral("A (*.mdb)")}},
        {QString(), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dialogNameFilters(c.filter), c.nameFilters) << c.filter.toStdString();
}

TEST(DialogNameFilters, UpperCaseVariantsForDialogsThatMatchByCase)
{
    struct Case
    {
        QStringList given;
        QStringList expected;
    };
    const Case cases[] = {
        {{QStringLiteral("Access Databases (*.mdb)")}, {QStringLiteral("Access Databases (*.mdb *.MDB)")}},
        {{QStringLiteral("D (*.mdb *.accdb)")}, {QStringLiteral("D (*.mdb *.accdb *.MDB *.ACCDB)")}},
        {{QStringLiteral("All (*)"), QStringLiteral("Up (*.MDB)")},
         {QStringLiteral("All (*)"), QStringLiteral("Up (*.MDB)")}},
        {{}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withUpperCasePatterns(c.given), c.expected) << c.given.join(QLatin1Char('|')).toStdString();
}

// What a person does: types the path into the name field and presses Open (or Choose).
void typeAndOpen(QFileDialog* dialog, const QString& path)
{
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();
}

class PickerTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    QString make(const QString& name, bool isFolder)
    {
        const QString path = folder.filePath(name);
        if (isFolder)
            EXPECT_TRUE(QDir().mkpath(path));
        else {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
        return path;
    }
    QTemporaryDir folder;
};

TEST_F(PickerTest, FolderPickerShowsThePromptAndStartFolderAndReturnsTheChoice)
{
    const QString start = make(QStringLiteral("Start"), true);
    const QString data = make(QStringLiteral("Data Folder"), true);
    struct Case
    {
        QString choose; // empty: cancel
        QString expected;
    };
    const Case cases[] = {{data, data}, {QStringLiteral("/"), QStringLiteral("/")}, {QString(), QString()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choose.toStdString());
        QtFolderPicker picker;
        bool seen = false;
        PlatformTest::onModal<QFileDialog>([&](QFileDialog* dialog) {
            seen = true;
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Choose the data folder"));
            EXPECT_EQ(dialog->directory().absolutePath(), start);
            EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
            if (c.choose.isEmpty()) {
                dialog->reject();
                return;
            }
            typeAndOpen(dialog, c.choose);
        });
        EXPECT_EQ(picker.browse(start, QStringLiteral("Choose the data folder")), c.expected);
        EXPECT_TRUE(seen);
    }
}

TEST_F(PickerTest, FileOpenDialogOffersTheFilterIgnoringCaseAndReturnsTheFile)
{
    const QString lower = make(QStringLiteral("a.mdb"), false);
    const QString upper = make(QStringLiteral("B.MDB"), false);
    make(QStringLiteral("c.Mdb"), false);
    make(QStringLiteral("notes.txt"), false);
    struct Case
    {
        QString choose; // empty: cancel
    };
    const Case cases[] = {{upper}, {lower}, {QString()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choose.toStdString());
        QtFileOpenDialog open;
        bool seen = false;
        PlatformTest::onModal<QFileDialog>([&](QFileDialog* dialog) {
            seen = true;
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Access DataBase to Optimize (Compact)"));
            EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Access Databases (*.mdb)")});
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
            // What the list shows: every database whatever the case of its extension, nothing else.
            dialog->setDirectory(folder.path());
            auto* model = dialog->findChild<QFileSystemModel*>();
            ASSERT_NE(model, nullptr);
            const auto listed = [&] {
                QStringList names;
                const QModelIndex parent = model->index(folder.path());
                for (int row = 0; row < model->rowCount(parent); ++row)
                    names.append(model->index(row, 0, parent).data().toString());
                std::sort(names.begin(), names.end());
                return names;
            };
            const QStringList expected = {QStringLiteral("B.MDB"), QStringLiteral("a.mdb"),
                                          QStringLiteral("c.Mdb")};
            PlatformTest::waitUntil([&] { return listed().size() >= 3; }, 5000);
            EXPECT_EQ(listed(), expected);
            if (c.choose.isEmpty()) {
                dialog->reject();
                return;
            }
            typeAndOpen(dialog, c.choose);
        });
        EXPECT_EQ(open.open(QStringLiteral("Select Access DataBase to Optimize (Compact)"),
                            QStringLiteral("Access Databases|*.mdb"), QStringLiteral("*.mdb")),
                  c.choose);
        EXPECT_TRUE(seen);
    }
}

} // namespace
