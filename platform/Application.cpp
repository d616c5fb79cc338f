#include "platform/Application.h"

#include "base/AppError.h"
#include "platform/FatalError.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

void Application::setIdentity(const QString& productName)
{
    setOrganizationName(productName);
    setApplicationName(productName);
}

void Application::setFatalError(IFatalError* fatalError)
{
    m_fatalError = fatalError;
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& error) {
        reportEscaped(error.number(), error.description());
    } catch (const std::exception& error) {
        reportEscaped(ErrorNumber::InternalError,
                      QStringLiteral("Internal error: ") + QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportEscaped(ErrorNumber::InternalError, QStringLiteral("Internal error: an unknown exception."));
    }
    // Only a recording report returns; the event counts as not handled.
    return false;
}

void Application::reportEscaped(long number, const QString& description)
{
    if (m_fatalError != nullptr) {
        m_fatalError->report(number, description);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(runTimeErrorText(number, description)));
    std::fflush(nullptr);
    std::_Exit(1);
}
