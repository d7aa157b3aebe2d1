#pragma once

#include "common/DbKind.h"

#include <QString>
#include <QStringList>

#include <vector>

// Where the export loop puts each table it could read.
class CTableSink
{
public:
    virtual ~CTableSink() = default;
    // False when the table could not be stored; ErrorString says why.
    virtual bool WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind) = 0;
    virtual QString ErrorString() const = 0;
};
