#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringView>

#include <initializer_list>
#include <variant>

Q_DECLARE_LOGGING_CATEGORY(lcTrace)

// One argument of a trace line: %d takes an int, %s a text.
using TraceArg = std::variant<int, QString>;

// The trace line as sent: the format filled in printf fashion (%s, %d, %%),
// cut to 1022 units, then a line feed.
QString FormatTrace(QStringView format, std::initializer_list<TraceArg> args);

// Writes one trace line to the "velmora.trace" logging category, which is
// silent unless enabled (QT_LOGGING_RULES="velmora.trace.debug=true").
void DebugTrace(QStringView format, std::initializer_list<TraceArg> args = {});
