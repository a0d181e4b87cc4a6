// Everything one scan found, by category, in the order the scan fills it.
// The scan fills it on its thread; readers take it once a category is done.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/recovery/category_kind.h"
#include "core/recovery/file_item.h"
#include "core/apps/call_history.h"
#include "core/apps/contacts.h"
#include "core/apps/messages.h"
#include "core/apps/notes.h"
#include "core/apps/whatsapp.h"

namespace scrivel {

using apps::CallItem;
using apps::ChatMessageItem;
using apps::ChatMessagesBySession;
using apps::ContactItem;
using apps::MessageItem;
using apps::MessagesByHandle;
using apps::NoteItem;

// App files of one kind grouped by app identifier.
using FilesByApp = std::map<std::string, std::vector<FileItem>>;

struct ScanResults {
  std::vector<FileItem> cameraRoll;          // ScanPhotos, first list
  std::vector<FileItem> photoStream;         // ScanPhotos, second list
  MessagesByHandle messages;                 // ScanMessages: handle ROWID -> messages by date
  std::vector<FileItem> messageAttachments;  // ScanMessageAttachments
  std::vector<ContactItem> contacts;         // ScanContacts
  std::vector<CallItem> calls;               // ScanCallHistory
  std::vector<NoteItem> notes;               // ScanNotes
  std::vector<FileItem> appFiles;            // ScanAppFiles, every app but WhatsApp
  FilesByApp appPhotos;                      // app files split by name: pictures and the rest
  FilesByApp appVideos;                      // app files split by name: video and sound
  ChatMessagesBySession whatsApp;            // ScanWhatsApp: chat session -> messages by date
  std::vector<FileItem> whatsAppFiles;       // ScanWhatsAppAttachments

  // Why a category came out empty or short, as a sentence for the person;
  // categories that went well have no entry.
  std::map<CategoryKind, std::string> problems;
  // Stored files the manifest lists that are absent from the backup or empty.
  std::uint64_t missingFiles = 0;
  // What opening the backup met that hides part of it (a damaged manifest);
  // empty when nothing.
  std::string manifestProblem;
};

}  // namespace scrivel
