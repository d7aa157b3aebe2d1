#include "export/ExportFileName.h"

QString ExportFileName(const QString& chosen, bool textFilter)
{
    if (!textFilter || chosen.isEmpty() || chosen.endsWith(u".txt", Qt::CaseInsensitive))
        return chosen;
    return chosen + QStringLiteral(".txt");
}
