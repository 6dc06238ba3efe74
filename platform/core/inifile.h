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
// file, is flushed, and is renamed into place, so a crash or a full disk leaves
// either the old or the new file, never a half-written one. A lock file guards
// each read-modify-write, so two programs writing at once lose neither update.
// The file is created by the first write; a missing folder is not created.

#include <QString>

namespace platform {

class IniFile {
public:
    explicit IniFile(const QString& fileName);

    const QString& fileName() const { return path; }

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
