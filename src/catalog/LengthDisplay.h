#pragma once

#include "common/DbKind.h"

#include <QString>

// How the structure list and the export show a column's length. Large-object
// types show a fixed size instead of their length value (the type text must
// match exactly, letter case and all); a length of "-1", SQL Server's mark
// for the MAX types, shows as "MAX"; anything else shows as read.
QString DisplayLength(const QString& type, const QString& length, DbKind kind);
