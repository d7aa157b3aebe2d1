#pragma once

#include "common/DbKind.h"
#include "export/StructureFile.h"
#include "export/TableSink.h"

#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <vector>

// The export file from its opening to its end. The new content goes to a
// copy beside the file that takes the file's place whole on Commit, so an
// export that ends early leaves the old file as it was. Nothing is written
// before the first table, so the byte-order mark and the header come with it.
//
// A folder that cannot hold the copy, with a file in it that may be written,
// gets the content written into the file itself. The old content is then
// lost once the first table is written, and a failure mid-write leaves the
// file cut (still reported), which is why this is only the fallback.
class CExportTarget : public CTableSink
{
public:
    explicit CExportTarget(const QString& path);

    // False, with ErrorString, when the file can be neither replaced nor written.
    bool Open();
    bool WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind) override;
    // True once a table went to the file (or failed to).
    bool Started() const { return m_started; }
    // Makes what was written the file: the header alone when no table came.
    bool Commit();
    void Cancel();
    QString ErrorString() const override;

private:
    bool Start();

    QSaveFile m_file;
    CStructureWriter m_writer;
    bool m_direct = false;
    bool m_started = false;
    bool m_startedWell = false;
};
