#pragma once

#include "common/DbKind.h"

#include <QString>

#include <optional>
#include <string_view>

// How the structure list and the export show a column's length. Large-object
// types show a fixed size instead of their length value (the type text must
// match exactly, letter case and all); a length of "-1", SQL Server's mark
// for the MAX types, shows as "MAX"; anything else shows as read.
QString DisplayLength(const QString& type, const QString& length, DbKind kind);

// The same from the UTF-8 bytes read, made a string only when it differs
// from the length; nothing when the length shows as read.
std::optional<QString> ChangedLength(std::string_view type, std::string_view length, DbKind kind);
