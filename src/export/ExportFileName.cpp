#include "export/ExportFileName.h"

#include <QFileInfo>
#include <QRegularExpression>

QString ExportFileName(const QString& chosen, bool textFilter)
{
    static const QRegularExpression suffix(QStringLiteral("\\.(?![0-9]+$)[\\p{L}\\p{N}]{1,5}$"));
    if (!textFilter || chosen.isEmpty() || QFileInfo(chosen).fileName().contains(suffix))
        return chosen;
    return chosen + QStringLiteral(".txt");
}

bool IsWorkbookName(const QString& path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

QString WorkbookFileName(const QString& chosen)
{
    return chosen.isEmpty() || IsWorkbookName(chosen) ? chosen : chosen + QStringLiteral(".xlsx");
}
