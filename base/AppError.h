#pragma once

#include <QString>

#include <exception>
#include <string>

// The one error type of both programs: a run-time error number and a description a user can act on.
class AppError : public std::exception
{
public:
    AppError(long number, QString description);

    long number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    long m_number;
    QString m_description;
    std::string m_what;
};

// Every error number the programs raise. The numbers are the ones the original run time and database
// provider used, so that a message names the error a user or a support note may know.
namespace ErrorNumber {
// Run-time errors of the programs.
inline constexpr long EmptyString = 5;
inline constexpr long Overflow = 6;
inline constexpr long OutOfMemory = 7;
inline constexpr long TypeMismatch = 13;
inline constexpr long ShellExecuteFailed = 17;
inline constexpr long InternalError = 51; // what the run time gave an error it could not classify
inline constexpr long BadFileNameOrNumber = 52;
inline constexpr long PathFileAccessError = 75;
inline constexpr long InvalidUseOfNull = 94;
// Errors of the database objects (connections and recordsets).
inline constexpr long NoCurrentRecord = 3021;
inline constexpr long UpdateNotSupported = 3251;
inline constexpr long ItemNotFound = 3265;
inline constexpr long ObjectClosed = 3704;     // "Operation is not allowed when the object is closed."
inline constexpr long ObjectOpen = 3705;       // "... is open already"
inline constexpr long ProviderNotFound = 3706; // "Provider cannot be found"
// Errors of the database provider.
inline constexpr long WrongPassword = -2147217843; // 0x80040E4D
inline constexpr long Unspecified = -2147467259;   // 0x80004005: missing file, not a database, I/O
inline constexpr long NoSuchTable = -2147217865;   // 0x80040E37
inline constexpr long NoSuchColumn = -2147217904;  // 0x80040E10
inline constexpr long TextTooLong = -2147217887;   // 0x80040E21
} // namespace ErrorNumber
