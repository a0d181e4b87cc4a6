#include "core/recovery/database_prefetch.h"

#include <filesystem>
#include <iterator>

#include "core/apps/call_history.h"
#include "core/apps/contacts.h"
#include "core/apps/note_store.h"
#include "core/apps/notes.h"

namespace scrivel {

ContactsReading ReadContacts(const std::string& addressBookPath) {
  ContactsReading reading;
  reading.result = apps::ParseContacts(addressBookPath, &reading.contacts, &reading.highestRowId);
  return reading;
}

NotesReading ReadNotes(const std::string& notesDbPath, const std::string& noteStorePath) {
  NotesReading reading;
  std::vector<apps::NoteItem> noteStoreNotes;
  const std::error_code notesResult = apps::ParseNotes(notesDbPath, &reading.notes);
  const std::error_code noteStoreResult = apps::ParseNoteStore(noteStorePath, &noteStoreNotes);
  if (!notesResult || !noteStoreResult) {
    reading.notes.insert(reading.notes.end(), std::make_move_iterator(noteStoreNotes.begin()),
                         std::make_move_iterator(noteStoreNotes.end()));
    return reading;
  }
  // Neither was read: the newer store is the one to report when the backup
  // has it at all.
  std::error_code ignored;
  const bool noteStoreStored = std::filesystem::exists(noteStorePath, ignored);
  reading.result = noteStoreStored ? noteStoreResult : notesResult;
  reading.problemPath = noteStoreStored ? noteStorePath : notesDbPath;
  return reading;
}

CallHistoryReading ReadCallHistory(const std::string& callDbPath, const std::string& addressBookPath) {
  CallHistoryReading reading;
  reading.result =
      apps::ParseCallHistory(&reading.calls, callDbPath, addressBookPath, &reading.addressBookResult);
  return reading;
}

WhatsAppReading ReadWhatsApp(const std::string& chatStoragePath) {
  WhatsAppReading reading;
  reading.result = apps::ParseWhatsApp(chatStoragePath, &reading.chats);
  return reading;
}

}  // namespace scrivel
