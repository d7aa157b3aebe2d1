#pragma once

#include <QString>

// Reads and writes single keys of the private-profile (INI) settings file.
// Stateless: every call goes to the file, so edits made while the program
// runs take effect at the next read. No operation reports a failure.
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

    // A file the program creates is readable by its owner alone. `secret`
    // (a stored password) also narrows an existing file that others can
    // read to its owner's rights.
    void Write(const QString& fileName, const QString& section, const QString& key,
               const QString& value, bool secret = false) const;
};
