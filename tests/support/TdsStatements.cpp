#include "support/TdsStatements.h"

// Names are quoted with '' doubled, the property joins keep only
// MS_Description (so another property neither hides nor doubles a table) and
// table descriptions are not cut at 100 characters.

namespace TdsStatements {

QString Probe()
{
    return QStringLiteral("select 1 from sysobjects where [name] = 'sysproperties'");
}

QString Databases()
{
    return QStringLiteral(
        "SELECT [name] FROM sysdatabases "
        "WHERE [name] NOT IN ('master','msdb','model','tempdb','ReportServer','ReportServerTempDB')");
}

QString Tables(int kind)
{
    const QString select =
        QStringLiteral("SELECT [name]=T.[name],[extpro]=CONVERT(NVARCHAR(4000),isnull(G.[value],'')) ");
    if (kind == 0)
        return select
            + QStringLiteral("FROM sysobjects T LEFT JOIN sysproperties G on T.[id]=G.[id] AND G.[smallid]=0 "
                             "AND G.[type]=3 AND G.[name]='MS_Description' "
                             "WHERE T.[xtype]='U' AND T.[name]<>'dtproperties'");
    return select
        + QStringLiteral("FROM sys.sysobjects T LEFT JOIN sys.extended_properties G ON (T.[id]=G.[major_id] "
                         "AND G.[minor_id] = 0 AND G.[class]=1 AND G.[name]='MS_Description') "
                         "WHERE T.[xtype]='U'");
}

QString Columns(int kind, const QString& table)
{
    const QString join = kind == 0
        ? QStringLiteral("left JOIN sysproperties ETP on C.[id]=ETP.[id] and C.[colid]=ETP.[smallid] "
                         "and ETP.[name]='MS_Description' ")
        : QStringLiteral("left JOIN sys.extended_properties ETP ON ETP.[major_id]=C.[id] AND "
                         "ETP.[minor_id]=C.[colid] AND ETP.[class]=1 AND ETP.[name]='MS_Description' ");
    return QStringLiteral(
               "SELECT [name]=C.[name],[type]=T.[name],"
               "[length]=COLUMNPROPERTY(C.[id],C.[name],'PRECISION'),"
               "[dec]=isnull(COLUMNPROPERTY(C.[id],C.[name],'Scale'),0),"
               "[null]=case when convert(bit,C.[IsNullable])=1 then N'\u221A' else '' end ,"
               "[key]=case when exists(SELECT 1 FROM sysobjects where [xtype]='PK' and [parent_obj]=C.[id] "
               "and [name] in ( \t\t\t\tSELECT [name] FROM sysindexes WHERE [indid] in "
               "(SELECT [indid] FROM sysindexkeys WHERE [id] = C.[id] AND [colid]=C.[colid]))) "
               "then N'\u221A' else '' end,"
               "[auto]=case when convert(bit,COLUMNPROPERTY(C.[id],C.[name],'IsIdentity'))=1 "
               "then N'\u221A' else '' end,"
               "[default]=isnull(CM.[text],''),"
               "[desc]=isnull(ETP.[value],'') "
               "FROM syscolumns C left JOIN systypes T on C.[xusertype]=T.[xusertype] "
               "inner JOIN sysobjects D on C.[id]=D.[id] and D.[xtype]='U' and D.[name]<>'dtproperties' "
               "left JOIN syscomments CM on C.[cdefault]=CM.[id] ")
        + join + QStringLiteral("WHERE D.[name]=N'") + EscapeLiteral(table) + u'\'';
}

PropertyTemplates PropertyTemplates::Default()
{
    const QString table = QStringLiteral("EXEC %1 N'MS_Description',N'%s',N'USER',N'dbo',N'TABLE',N'%s'");
    const QString column = table + QStringLiteral(",N'COLUMN',N'%s'");
    const QString add = QStringLiteral("sp_addextendedproperty"), update = QStringLiteral("sp_updateextendedproperty");
    return {table.arg(add), table.arg(update), column.arg(add), column.arg(update)};
}

QString EscapeLiteral(const QString& text)
{
    return QString(text).replace(u'\'', QStringLiteral("''"));
}

std::optional<QStringList> Match(const QString& text, const QString& templ)
{
    const QStringList pieces = templ.split(QStringLiteral("%s"));
    QStringList values;
    qsizetype at = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            QString value;
            while (at < text.size()) {
                if (text[at] == u'\'') {
                    if (at + 1 < text.size() && text[at + 1] == u'\'') {
                        value += u'\'';
                        at += 2;
                        continue;
                    }
                    break;
                }
                value += text[at++];
            }
            values << value;
        }
        if (QStringView(text).mid(at, pieces[i].size()) != pieces[i])
            return std::nullopt;
        at += pieces[i].size();
    }
    if (at != text.size())
        return std::nullopt;
    return values;
}

} // namespace TdsStatements
