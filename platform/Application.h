#pragma once

#include <QApplication>

class IFatalError;

// The programs' QApplication. An error that escapes an event handler (a window action without an error
// trap) reaches notify(); it is turned into the standard run-time error report, which ends the program.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // Sets the organisation and application name, which place the per-user settings and runtime files.
    void setIdentity(const QString& productName);
    // Where escaped errors are reported. Without one, the report goes to the error stream and the
    // program ends with status 1.
    void setFatalError(IFatalError* fatalError);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void reportEscaped(long number, const QString& description);

    IFatalError* m_fatalError = nullptr;
};
