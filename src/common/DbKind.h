#pragma once

// Server kind: 0 = SQL Server with sysproperties, 1 = SQL Server with
// sys.extended_properties, 2 = MySQL.
using DbKind = int;
