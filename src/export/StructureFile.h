#pragma once

#include "common/DbKind.h"

#include <QString>
#include <QStringList>

#include <vector>

class QIODevice;

// The structure export file: UTF-16LE after the byte-order mark FF FE, a
// header line, then one line of ten TAB-separated fields per column (the
// table name and the nine values of the column query), every line ended by
// CR LF. Knows nothing of windows or servers.

// The column's line without its line end. The length follows the length
// display rule; a line break inside a value (CR LF, CR or LF) becomes "；"
// and a TAB one space, so each column stays one line of ten fields.
QString StructureLine(const QString& table, const QStringList& values, DbKind kind);

// The ten fields of the column's line with their text kept whole (line
// breaks and TABs too, as a workbook's cells hold them); the length follows
// the length display rule.
QStringList StructureFields(const QString& table, const QStringList& values, DbKind kind);

// A value as its field shows it: a line break (CR LF, CR or LF) as "；",
// a TAB as one space.
QString StructureField(const QString& value);

// The ten field names of the header line.
QStringList StructureHeader();

class CStructureWriter
{
public:
    explicit CStructureWriter(QIODevice& device) : m_device(device) {}

    // Each returns false when the device took less than all of the bytes;
    // ErrorString then says why.
    bool WriteByteOrderMark();
    bool WriteHeader();
    // The lines of one table's columns, in the order given, in one write.
    bool WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind);

    QString ErrorString() const;

private:
    bool Write(const QString& text);

    QIODevice& m_device;
};
