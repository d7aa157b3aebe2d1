// Serves the TDS peer on its own, for trying the SQL Server road through the
// real window by hand: prints the port, serves until stdin closes. Login
// velmora / secret. It answers the program's own statements: it checks nothing.

#include "catalog/CatalogQuery.h"
#include "support/TdsPeer.h"

#include <cstdio>
#include <iostream>
#include <string>

int main()
{
    using namespace Qt::StringLiterals;
    CTdsPeer peer(u"velmora"_s, u"secret"_s);
    peer.SetRoute([](const QString& sql, const QString&) {
        const auto is = [&sql](int query) { return sql == BuildCatalogQuery(query, u"Orders"_s, {}, 1); };
        if (is(kQueryDatabases))
            return TdsReply({u"name"_s}, {{u"Sales"_s}});
        if (is(kQueryTables))
            return TdsReply({u"name"_s, u"extpro"_s, u"schema"_s}, {{u"Orders"_s, u"订单"_s, u"dbo"_s}});
        // The window asks for the columns of the table of its schema.
        if (is(kQueryColumns) || sql == BuildCatalogQuery(kQueryColumns, u"Orders"_s, {}, 1, false, u"dbo"_s))
            return TdsReply(kColumnFields, {{u"id"_s, u"int"_s, u"10"_s, u"0"_s, {}, u"√"_s, u"√"_s, {}, u"编号"_s}});
        // The probe finds no sysproperties; descriptions are taken but not kept.
        return sql == kCatalogProbe || sql.startsWith(u"EXEC "_s) ? TdsReply() : TdsReply::Refusal(sql);
    });
    if (!peer.Start())
        return 1;
    std::printf("%u\n", unsigned(peer.Port()));
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}
