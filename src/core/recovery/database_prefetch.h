// Reads the scan's databases (the messages with the address book, the
// contacts, the call history, the notes, WhatsApp's chats) and probes the
// stored files of the file scans on worker threads, started as soon as
// the manifest is loaded, so that a scan keeps both cores of a small
// machine busy.
//
// A worker only reads files and builds its own result; it reports nothing
// and touches no state of the scan. The scan takes each result when it
// reaches that category and then makes the same progress reports, in the
// same order, as a scan that reads the database at that point, so the
// results, the reports and the effect of a cancel stay as they are. A
// result that is not taken is waited for and dropped (Discard, the
// destructor): no worker outlives its owner.
#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/recovery/media_scans.h"
#include "core/apps/messages.h"
#include "core/apps/whatsapp.h"

namespace scrivel {

// One database read running on a worker thread for a given set of paths.
template <typename Reading>
class PrefetchedReading {
 public:
  PrefetchedReading() = default;
  PrefetchedReading(const PrefetchedReading&) = delete;
  PrefetchedReading& operator=(const PrefetchedReading&) = delete;
  ~PrefetchedReading() { Discard(); }

  // Starts `read` on a worker thread; `paths` are the files it reads. When
  // no thread can be started, nothing is prefetched and the scan reads the
  // files itself.
  template <typename Read>
  void Start(std::vector<std::string> paths, Read read) {
    Discard();
    try {
      m_result = std::async(std::launch::async, std::move(read));
    } catch (const std::system_error&) {
      return;
    }
    m_paths = std::move(paths);
  }

  // The result of the read started for exactly `paths`, once; nothing when
  // no such read was started or it was taken already.
  std::optional<Reading> Take(const std::vector<std::string>& paths) {
    if (!m_result.valid() || paths != m_paths) return std::nullopt;
    return m_result.get();
  }

  // Waits for a running read and drops its result.
  void Discard() {
    if (m_result.valid()) m_result.wait();
    m_result = {};
    m_paths.clear();
  }

 private:
  std::vector<std::string> m_paths;
  std::future<Reading> m_result;
};

// What ParseCallHistory gives for an empty list.
struct CallHistoryReading {
  std::error_code result;
  std::error_code addressBookResult;  // success, or why the calls come without names
  std::vector<apps::CallItem> calls;
};

// What ParseContacts gives for an empty list.
struct ContactsReading {
  std::error_code result;
  std::vector<apps::ContactItem> contacts;
  std::uint64_t highestRowId = 0;
};

// What ParseNotes and ParseNoteStore give together: the notes of both
// (a backup can hold both stores), and success when either was read.
struct NotesReading {
  std::error_code result;
  std::string problemPath;  // the database `result` is about
  std::vector<apps::NoteItem> notes;
};

// What ParseWhatsApp gives for an empty map.
struct WhatsAppReading {
  std::error_code result;
  apps::ChatMessagesBySession chats;
};

ContactsReading ReadContacts(const std::string& addressBookPath);
NotesReading ReadNotes(const std::string& notesDbPath, const std::string& noteStorePath);
CallHistoryReading ReadCallHistory(const std::string& callDbPath, const std::string& addressBookPath);
WhatsAppReading ReadWhatsApp(const std::string& chatStoragePath);

// The prefetched reads of one scan.
struct DatabasePrefetch {
  PrefetchedReading<apps::MessagesReading> messages;  // paths: address book, sms.db
  PrefetchedReading<ContactsReading> contacts;                   // paths: address book
  PrefetchedReading<CallHistoryReading> callHistory;             // paths: call database, address book
  PrefetchedReading<NotesReading> notes;                         // paths: notes.sqlite, NoteStore.sqlite
  PrefetchedReading<WhatsAppReading> whatsApp;                   // paths: ChatStorage.sqlite
  PrefetchedReading<StoredFileProbes> files;                     // no paths: each probe names its file
  PrefetchedReading<std::uint64_t> missingFiles;                 // no paths: the stored files of the manifest

  void Discard() {
    messages.Discard();
    contacts.Discard();
    callHistory.Discard();
    notes.Discard();
    whatsApp.Discard();
    files.Discard();
    missingFiles.Discard();
  }
};

}  // namespace scrivel
