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
        Other,             // raised outside the table layer, or an engine failure of no kind below
        Locked,            // another program or table holds the file ("File is locked")
        KeyViolation,      // a primary or unique key that is already taken ("Key violation.")
        NotATable,         // the file is no table of this layer (foreign, empty, not a file)
        Damaged,           // a table file whose contents or layout are broken
        NewerVersion,      // a table written by a newer version of the layer
        TableMissing,      // the table's file does not exist
        InvalidName,       // a table, field or index name that may not be used
        InvalidDefinition, // a layout or index definition that cannot be made
        NotFound,          // no field or index of that name or number
        OutOfRange,        // a value outside its field's type or too long to store
        RequiredFieldMissing, // a required field or key field left empty at Post
        WrongState,           // the table is open, closed or not appending, as the call forbids
        IO,                   // the file system refused to open, write, rename or delete
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
