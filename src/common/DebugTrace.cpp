#include "common/DebugTrace.h"

Q_LOGGING_CATEGORY(lcTrace, "velmora.trace", QtWarningMsg)

namespace {

// The platform's buffer holds 1024 units: the text, the line feed and the
// terminator.
constexpr qsizetype kMaxTraceText = 1022;

QString ArgText(const TraceArg& arg)
{
    if (const int* number = std::get_if<int>(&arg))
        return QString::number(*number);
    return std::get<QString>(arg);
}

} // namespace

QString FormatTrace(QStringView format, std::initializer_list<TraceArg> args)
{
    QString text;
    auto next = args.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        const QChar conversion = i + 1 < format.size() ? format[i + 1] : QChar();
        if (c != u'%' || (conversion != u'%' && conversion != u's' && conversion != u'd')) {
            text += c;
            continue;
        }
        ++i;
        if (conversion == u'%')
            text += u'%';
        else if (next != args.end())
            text += ArgText(*next++);
    }
    if (text.size() > kMaxTraceText) {
        // Never leave half of a surrogate pair at the end of the line.
        qsizetype keep = kMaxTraceText;
        if (text[keep - 1].isHighSurrogate())
            --keep;
        text.truncate(keep);
    }
    text += u'\n';
    return text;
}

void DebugTrace(QStringView format, std::initializer_list<TraceArg> args)
{
    if (!lcTrace().isDebugEnabled())
        return;
    QString line = FormatTrace(format, args);
    line.chop(1); // the log sink ends every message with its own line feed
    qCDebug(lcTrace).noquote() << line;
}
