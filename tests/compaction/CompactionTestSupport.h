#pragma once

#include "engine/ConnectionString.h"
#include "engine/DatabaseFile.h"
#include "maintenance/compaction/ComprimirAccess2000.h"
#include "platform/doubles/RecordingScreen.h"
#include "platform/doubles/ScriptedMessageBox.h"
#include "platform/doubles/ScriptedPickers.h"
#include "tests/support/QtPrinters.h"

#include <QByteArray>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <ostream>

// So that a failed comparison prints what the user was told.
inline void PrintTo(const ScriptedMessageBox::Call& call, std::ostream* os)
{
    *os << "{\"" << call.text.toStdString() << "\", " << call.style << ", \"" << call.title.toStdString()
        << "\"}";
}

namespace CompactionTest {

inline const QString Password = QStringLiteral("Marigold4817");

QString jetConnectionString(const QString& path, const QString& password);

// Books whose deleted entries left free pages behind: the entries made, a third of them kept.
void makeBooks(const QString& path, const QString& password, int entries = 3000);

// Every row of the books, for comparing what a reader sees before and after; empty when the file does not
// open with the password.
QByteArray booksDigest(const QString& path, const QString& password);

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);
// Every entry below the folder, with the size of each file, to compare a folder before and after.
QStringList listing(const QString& folder);

// The compaction page with the doubles of the services it uses.
struct Page
{
    explicit Page(const QString& toolFolder);

    ScriptedMessageBox messages;
    ScriptedFileOpenDialog fileDialog;
    RecordingScreenPointer pointer;
    CountingEventPump events;
    ComprimirAccess2000::Module module;

    QWidget window;
    QLineEdit* txtCompactFileName;
    QLineEdit* TxtPassword;
    QLabel* lblOriginalSize;
    QLabel* lblFinalSize;
    ComprimirAccess2000::CompactionPage controls;

    // Fills the two boxes, answers Yes to the question and presses the compaction button.
    void compact(const QString& path, const QString& password);
    ScriptedMessageBox::Call question() const;
};

} // namespace CompactionTest
