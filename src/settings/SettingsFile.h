#pragma once

#include <QString>

#include <optional>

// Reads and writes single keys of the private-profile (INI) settings file.
// Stateless: every call goes to the file, so edits made while the program
// runs take effect at the next read. No operation reports a failure.
//
// The file is written only when it is a regular file, or a link (of the
// user's) to one, that belongs to the effective user; any other is read
// and left alone, with one trace line saying why. A write replaces the
// file (a link's target) by a complete copy with its owner, group and mode.
class CSettingsFile
{
public:
    // The path every Read and Write uses: a bare name lives in the current
    // working directory; a name with a directory part is used unchanged.
    QString FullPath(const QString& fileName) const;

    // The whole value, quotes and white space stripped;
    // a missing key, or one holding the marker text, is written back with
    // the default and the default is returned.
    QString Read(const QString& fileName, const QString& section, const QString& key,
                 const QString& defaultValue) const;

    // The value as Read gives it; nullopt when missing. Writes nothing.
    std::optional<QString> Find(const QString& fileName, const QString& section, const QString& key) const;

    // A file the program creates is readable by its owner alone. `secret`
    // (a stored password) also narrows an existing file that others can
    // read to its owner's rights.
    void Write(const QString& fileName, const QString& section, const QString& key,
               const QString& value, bool secret = false) const;
};
