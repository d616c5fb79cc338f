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

// Error numbers that callers test for.
namespace ErrorNumber {
inline constexpr long Overflow = 6;
inline constexpr long OutOfMemory = 7;
inline constexpr long TypeMismatch = 13;
inline constexpr long BadFileNameOrNumber = 52;
inline constexpr long ShellExecuteFailed = 17;
inline constexpr long EmptyString = 5;
// Engine errors, as the original provider numbered them.
inline constexpr long WrongPassword = -2147217843; // 0x80040E4D
inline constexpr long Unspecified = -2147467259;   // 0x80004005: missing file, not a database, I/O
inline constexpr long NoSuchTable = -2147217865;   // 0x80040E37
inline constexpr long NoSuchColumn = -2147217904;  // 0x80040E10
inline constexpr long TextTooLong = -2147217887;   // 0x80040E21
inline constexpr long ProviderNotFound = 3706;     // "Provider cannot be found"
} // namespace ErrorNumber
