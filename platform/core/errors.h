#pragma once
// The exception classes of the programs. Failures are exceptions; the table
// layer raises EDatabaseError, conversions raise EConvertError, and a file that
// cannot be opened raises EFOpenError. Every one carries a user-readable message.

#include <QString>
#include <stdexcept>

namespace platform {

class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), text(message) {}
    // The message as the user sees it.
    const QString& message() const noexcept { return text; }

private:
    QString text;
};

// A text that should hold a number (or another typed value) does not.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be opened or read.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// The table layer's failure; the message is the engine's. Its kind is set where
// the error is raised, so callers test the kind, never the wording.
class EDatabaseError : public Exception {
public:
    enum class Kind {
        Other,
        Locked,       // another program or table holds the file ("File is locked")
        KeyViolation, // a primary key that is already taken ("Key violation.")
    };
    explicit EDatabaseError(const QString& message, Kind kind = Kind::Other)
        : Exception(message), what(kind) {}
    Kind kind() const noexcept { return what; }

private:
    Kind what;
};

// The message of any exception, for reports.
QString exceptionMessage(const std::exception& e);

} // namespace platform
