// Serves the TDS peer on its own, for trying the SQL Server road through the
// real window by hand: prints the port, serves until stdin closes.
// Login: velmora / secret; database Sales, catalog with extended properties.

#include "support/TdsPeer.h"

#include <cstdio>
#include <iostream>
#include <string>

int main()
{
    using namespace Qt::StringLiterals;
    CTdsPeer peer(u"velmora"_s, u"secret"_s);
    if (!peer.Start())
        return 1;
    TdsTableDef orders{u"Orders"_s, {{u"MS_Description"_s, u"订单"_s}}, {}};
    orders.columns = {TdsColumnDef::Declared(u"id"_s, u"int"_s).Key().Identity().Describe(u"编号"_s),
                      TdsColumnDef::Declared(u"title"_s, u"nvarchar(50)"_s).Default(u"(N'无')"_s),
                      TdsColumnDef::Declared(u"memo"_s, u"varchar(max)"_s)};
    peer.AddDatabase({u"Sales"_s, {orders, {u"客户"_s, {}, {TdsColumnDef::Declared(u"name"_s, u"nchar(10)"_s)}}}});
    std::printf("%u\n", unsigned(peer.Port()));
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}
