#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// How one decoded line of the settings file reads.
namespace IniLine {

// "[name]" with white space around and inside the brackets ignored. The
// name ends at the line's last ']', so a name may itself hold brackets; a
// line missing the closing bracket names the rest of the line.
std::optional<QStringView> SectionName(QStringView line);

// A section or key name as the caller gives it, in the form the file keeps:
// line breaks become spaces and edge white space goes, as it would on the
// way back in. Reads and writes both look names up in this form.
QString NormalName(QStringView name);

// Whether a key line could hold this (normal) name and be read back as it:
// not empty, no '=', not starting like a comment or a section header.
bool IsStorableKey(QStringView key);

struct KeyValue {
    QStringView key;
    QStringView value;
};

// "key=value", both sides trimmed; nullopt for blank lines, comments (';'),
// section headers and lines without '='.
std::optional<KeyValue> SplitKey(QStringView line);

} // namespace IniLine
