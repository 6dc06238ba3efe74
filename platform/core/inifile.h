#pragma once
// The INI-file service: settings in the common INI form.
//
//   [Section]
//   key=value
//
// Section and key names match without regard to case; a name keeps the spelling
// it was first written with. Sections and keys stay in the order written, and
// every line a write does not change (comments, blank lines, unknown sections)
// stays byte for byte as it was.
//
// Every read reads the file afresh, so a store sees the writes of every other
// store, in this process or another, at its next read. Every write is on disk
// when it returns: the new content goes to a temporary file beside the settings
// file ("<name>.<pid>.new"), is flushed, and is renamed into place, so a crash
// or a full disk leaves either the old or the new file, never a half-written
// one. A lock file "<name>.lock" guards each read-modify-write, so two programs
// writing at once lose neither update; the writer holding it removes the
// temporary files that killed writers left. The file is created by the first
// write; a missing folder is not created.
//
// Section names are written and looked up on one line and without blanks at
// their ends. A settings file or lock file that is not a regular file (a FIFO,
// a folder) is never waited for: reads find nothing and writes fail at once.

#include <QString>

namespace platform {

class IniFile {
public:
    explicit IniFile(const QString& fileName);

    const QString& fileName() const { return path; }

    // Why the file cannot serve as a settings file: it, or its lock file, is
    // there but not a regular file. Empty when it can. Opens nothing.
    QString unusableReason() const;

    // True when the section holds the key (an empty value counts as present).
    bool valueExists(const QString& section, const QString& key) const;
    // The key's value, or `defaultValue` when the section or key is absent.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Writes the value, replacing an earlier one. False when the file cannot be
    // written (the last error then tells why); the file is unchanged then.
    bool writeString(const QString& section, const QString& key, const QString& value);
    // Removes the section and all its keys. False when the file cannot be written.
    bool eraseSection(const QString& section);

private:
    QString path;
};

} // namespace platform
