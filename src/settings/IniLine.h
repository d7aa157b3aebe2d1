#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// How one decoded line of the settings file reads.
namespace IniLine {

// "[name]" with white space around and inside the brackets ignored; a line
// missing the closing bracket names the rest of the line.
std::optional<QStringView> SectionName(QStringView line);

struct KeyValue {
    QStringView key;
    QStringView value;
};

// "key=value", both sides trimmed; nullopt for blank lines, comments (';'),
// section headers and lines without '='.
std::optional<KeyValue> SplitKey(QStringView line);

} // namespace IniLine
