#include "export/ExportTarget.h"

#include "export/StructureFile.h"

#include <utility>

bool CExportTarget::Start()
{
    if (std::exchange(m_started, true))
        return m_startedWell;
    m_startedWell = m_output.Begin();
    CStructureWriter writer(m_output.Device());
    m_startedWell = m_startedWell && writer.WriteByteOrderMark() && writer.WriteHeader();
    return m_startedWell;
}

bool CExportTarget::WriteTable(const QString& table, const std::vector<QStringList>& columns, DbKind kind)
{
    return Start() && CStructureWriter(m_output.Device()).WriteTable(table, columns, kind);
}

bool CExportTarget::Commit()
{
    return Start() && m_output.Commit();
}
