#pragma once

#include "common/DbKind.h"
#include "common/OutputFile.h"
#include "export/TableSink.h"

#include <QString>
#include <QStringList>

#include <vector>

// The export file from its opening to its end, replaced or written as
// COutputFile says. Nothing is written before the first table, so the
// byte-order mark and the header come with it.
class CExportTarget : public CTableSink
{
public:
    explicit CExportTarget(const QString& path) : m_output(path) {}

    // False, with ErrorString, when the file can be neither replaced nor written.
    bool Open() { return m_output.Open(); }
    bool WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind) override;
    // True once a table went to the file (or failed to).
    bool Started() const { return m_started; }
    // Makes what was written the file: the header alone when no table came.
    bool Commit();
    void Cancel() { m_output.Cancel(); }
    QString ErrorString() const override { return m_output.ErrorString(); }
    // The opened file, for a document written whole instead of the structure file.
    COutputFile& Output() { return m_output; }

private:
    bool Start();

    COutputFile m_output;
    bool m_started = false;
    bool m_startedWell = false;
};
