// The reference side of bench_assembly: the sqlite3 shell running, over
// the live rows only, the joins that the assemblies make (contact names
// looked up once per distinct number, as the assemblies do).
#pragma once

#include <string>

namespace scrivel::bench {

// Each query may name the address book as "ab" (RunSqliteShell attaches it).
std::string MessagesJoinQuery();
std::string ContactsQuery();
std::string CallsJoinQuery();
std::string NotesJoinQuery();
std::string WhatsAppJoinQuery();

// Runs `query` in "sqlite3 -readonly DATABASE" with the address book
// attached as "ab", its output thrown away. True when the shell succeeded.
bool RunSqliteShell(const std::string& database, const std::string& addressBook, const std::string& query);

}  // namespace scrivel::bench
