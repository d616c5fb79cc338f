#pragma once

#include <QString>

class AppError;

// The standard run-time error report: a box titled with the program's title saying
// "Run-time error 'N':", a blank line and the description; then the whole program ends with a
// non-zero status. The real report never returns; a test double records the report and returns, and
// the caller then abandons what it was doing.
class IFatalError
{
public:
    virtual ~IFatalError() = default;
    virtual void report(long number, const QString& description) = 0;
    void report(const AppError& error);
};

// "Run-time error '13':" / "Run-time error '-2147217843 (80040e4d)':", a blank line, the description.
QString runTimeErrorText(long number, const QString& description);
