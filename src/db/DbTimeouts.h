#pragma once

// How long, in seconds, the program waits on a server at most. A login
// answers within seconds (15 s is what ADO gave SQL Server logins); the
// largest statement here, the columns of 250 tables or the table list of a
// schema with tens of thousands of tables, sends its first bytes within
// seconds, so a minute of silence means a server that stopped answering; a
// comment change gets its table lock at once unless another session's open
// transaction holds the table, which a few seconds more will not end.
struct DbTimeouts {
    unsigned connect = 15;
    unsigned statement = 60;
    unsigned lockWait = 5;
};
