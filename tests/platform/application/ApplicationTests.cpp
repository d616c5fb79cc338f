#include "base/AppError.h"
#include "platform/Application.h"
#include "platform/doubles/RecordingFatalError.h"

#include <QEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

Application& application()
{
    return *static_cast<Application*>(QCoreApplication::instance());
}

// Clears the report target again when a test ends.
struct FatalErrorScope
{
    explicit FatalErrorScope(IFatalError* fatal) { application().setFatalError(fatal); }
    ~FatalErrorScope() { application().setFatalError(nullptr); }
};

class ThrowingObject : public QObject
{
public:
    std::function<void()> thrower;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            thrower();
        return QObject::event(event);
    }
};

struct Case
{
    const char* name;
    std::function<void()> thrower;
    long number;
    QString description;
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> all = {
        {"AppError",
         [] { throw AppError(ErrorNumber::ShellExecuteFailed, QStringLiteral("File not found.")); },
         ErrorNumber::ShellExecuteFailed, QStringLiteral("File not found.")},
        {"std::exception", [] { throw std::runtime_error("the table is missing"); }, 51,
         QStringLiteral("Internal error: the table is missing")},
        {"anything else", [] { throw 42; }, 51, QStringLiteral("Internal error: an unknown exception.")},
    };
    return all;
}

// Runs body in a forked copy of this process and returns what it wrote. An exception that unwinds through
// Qt's widget code skips the clean-up of Qt's own frames (built without exception tables); the memory
// they held is never freed. That is why the real report ends the program at once; here the copy ends
// with _exit, so the leak checker of the sanitizer builds does not count what the test caused on purpose.
QByteArray inForkedCopy(const std::function<QByteArray()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const QByteArray out = body();
        const ssize_t written = ::write(fds[1], out.constData(), static_cast<size_t>(out.size()));
        ::_exit(written == out.size() ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray result;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        result.append(buffer, got);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

TEST(Application, AnErrorThrownFromAClickedButtonsSlotIsReported)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const QByteArray seen = inForkedCopy([&c] {
            RecordingFatalError fatal;
            FatalErrorScope scope(&fatal);
            QPushButton button(QStringLiteral("Start"));
            bool after = false;
            QObject::connect(&button, &QPushButton::clicked, [&c, &after] {
                c.thrower();
                after = true;
            });
            button.show();
            QTest::mouseClick(&button, Qt::LeftButton);
            QByteArray out = after ? "went on|" : "stopped|";
            for (const RecordingFatalError::Report& report : fatal.reports())
                out += QByteArray::number(static_cast<qlonglong>(report.number)) + '|' +
                       report.description.toUtf8() + '|';
            return out;
        });
        EXPECT_EQ(QString::fromUtf8(seen), QStringLiteral("stopped|%1|%2|").arg(c.number).arg(c.description));
    }
}

TEST(Application, AnErrorThrownFromAnEventHandlerIsReportedAndTheEventUnhandled)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        RecordingFatalError fatal;
        FatalErrorScope scope(&fatal);
        ThrowingObject receiver;
        receiver.thrower = c.thrower;
        QEvent event(QEvent::User);
        EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &event));
        ASSERT_EQ(fatal.reports().size(), 1);
        EXPECT_EQ(fatal.reports()[0].number, c.number);
        EXPECT_EQ(fatal.reports()[0].description, c.description);
    }
}

TEST(Application, AnErrorFromATimerInTheEventLoopIsReportedAndTheLoopGoesOn)
{
    RecordingFatalError fatal;
    FatalErrorScope scope(&fatal);
    QTimer::singleShot(0, [] { throw AppError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch")); });
    QTimer::singleShot(20, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QCoreApplication::exec(), 7);
    ASSERT_EQ(fatal.reports().size(), 1);
    EXPECT_EQ(fatal.reports()[0].number, ErrorNumber::TypeMismatch);
}

TEST(Application, WithoutAReportTargetTheProgramEndsWithStatusOne)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ThrowingObject receiver;
        receiver.thrower = [] {
            throw AppError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
        };
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &event);
        ::_exit(0); // not reached when the error ends the program
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(Application, IdentityNamesTheSettingsAndRuntimeFiles)
{
    application().setIdentity(QStringLiteral("vaultkeep"));
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("vaultkeep"));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("vaultkeep"));
}

} // namespace
