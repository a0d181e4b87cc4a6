#include "reference_queries.h"

#include <cstdio>
#include <memory>

namespace scrivel::bench {

namespace {

// The first contact whose phone text holds `number` (an SQL expression),
// as the assemblies name a number.
std::string ContactNameOf(const std::string& number) {
  return "(SELECT ifnull(c.c0First, '') || ifnull(c.c1Last, '') FROM ab.ABPersonFullTextSearch_content c "
         "WHERE instr(c.c15Phone, " + number + ") > 0 LIMIT 1)";
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string SqlQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

struct PipeCloser {
  void operator()(std::FILE* pipe) const { pclose(pipe); }
};

}  // namespace

std::string MessagesJoinQuery() {
  return "WITH partners AS MATERIALIZED (SELECT h.ROWID AS handle, h.id AS address, " + ContactNameOf("h.id") +
         " AS name FROM handle h) "
         "SELECT m.ROWID, m.text, m.date, m.is_from_me, p.address, p.name, "
         "(SELECT a.filename FROM message_attachment_join j JOIN attachment a ON a.ROWID = j.attachment_id "
         "WHERE j.message_id = m.ROWID LIMIT 1) "
         "FROM message m LEFT JOIN partners p ON p.handle = m.handle_id ORDER BY m.handle_id, m.date;";
}

std::string ContactsQuery() {
  return "SELECT docid, c0First, c1Last, c6Organization, c15Phone, c16Email, c17Address, c18SocialProfile, c19URL "
         "FROM ABPersonFullTextSearch_content WHERE c15Phone IS NOT NULL "
         "ORDER BY ifnull(c0First, '') || ifnull(c1Last, '') COLLATE NOCASE;";
}

std::string CallsJoinQuery() {
  return "WITH names AS MATERIALIZED (SELECT a.address, " + ContactNameOf("a.address") +
         " AS name FROM (SELECT DISTINCT ZADDRESS AS address FROM ZCALLRECORD) a) "
         "SELECT r.ZDATE, r.ZDURATION, r.ZORIGINATED, r.ZADDRESS, n.name FROM ZCALLRECORD r "
         "LEFT JOIN names n ON n.address = r.ZADDRESS ORDER BY r.ZDATE;";
}

std::string NotesJoinQuery() {
  return "SELECT b.ZOWNER, b.ZCONTENT, n.ZTITLE, n.ZCREATIONDATE FROM ZNOTEBODY b "
         "LEFT JOIN ZNOTE n ON n.ZBODY = b.ZOWNER;";
}

std::string WhatsAppJoinQuery() {
  return "WITH members AS MATERIALIZED (SELECT ZCHATSESSION AS chat, group_concat(ZMEMBERJID) AS jids, "
         "group_concat(ZCONTACTNAME) AS names FROM ZWAGROUPMEMBER GROUP BY ZCHATSESSION) "
         "SELECT m.Z_PK, m.ZTEXT, m.ZMESSAGEDATE, m.ZISFROMME, s.ZPARTNERNAME, s.ZCONTACTJID, g.ZCONTACTNAME, "
         "g.ZMEMBERJID, i.ZMEDIALOCALPATH, ms.jids, ms.names FROM ZWAMESSAGE m "
         "LEFT JOIN ZWACHATSESSION s ON s.Z_PK = m.ZCHATSESSION LEFT JOIN ZWAGROUPMEMBER g ON g.Z_PK = m.ZGROUPMEMBER "
         "LEFT JOIN ZWAMEDIAITEM i ON i.Z_PK = m.ZMEDIAITEM LEFT JOIN members ms ON ms.chat = m.ZCHATSESSION "
         "ORDER BY m.ZCHATSESSION, m.ZMESSAGEDATE;";
}

bool RunSqliteShell(const std::string& database, const std::string& addressBook, const std::string& query) {
  const std::string command = "sqlite3 -readonly -bail " + ShellQuoted(database) + " > /dev/null";
  std::unique_ptr<std::FILE, PipeCloser> shell(popen(command.c_str(), "w"));
  if (!shell) return false;
  const std::string script = "ATTACH DATABASE " + SqlQuoted(addressBook) + " AS ab;\n" + query + "\n";
  if (std::fwrite(script.data(), 1, script.size(), shell.get()) != script.size()) return false;
  return pclose(shell.release()) == 0;
}

}  // namespace scrivel::bench
