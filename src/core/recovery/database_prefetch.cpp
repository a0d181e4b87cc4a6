#include "core/recovery/database_prefetch.h"

#include "core/sqlite_recovery/call_history.h"
#include "core/sqlite_recovery/contacts.h"
#include "core/sqlite_recovery/notes.h"

namespace scrivel {

ContactsReading ReadContacts(const std::string& addressBookPath) {
  ContactsReading reading;
  reading.result = sqlite_recovery::ParseContacts(addressBookPath, &reading.contacts, &reading.highestRowId);
  return reading;
}

NotesReading ReadNotes(const std::string& notesDbPath) {
  NotesReading reading;
  reading.result = sqlite_recovery::ParseNotes(notesDbPath, &reading.notes);
  return reading;
}

CallHistoryReading ReadCallHistory(const std::string& callDbPath, const std::string& addressBookPath) {
  CallHistoryReading reading;
  reading.result =
      sqlite_recovery::ParseCallHistory(&reading.calls, callDbPath, addressBookPath, &reading.addressBookResult);
  return reading;
}

WhatsAppReading ReadWhatsApp(const std::string& chatStoragePath) {
  WhatsAppReading reading;
  reading.result = sqlite_recovery::ParseWhatsApp(chatStoragePath, &reading.chats);
  return reading;
}

}  // namespace scrivel
