// Reads the text of a note body of NoteStore.sqlite (ZICNOTEDATA.ZDATA): a
// gzip stream (a bare zlib stream is accepted too) around a protocol
// buffer (note_store_body.proto) whose text sits in root 2 > document 3 >
// note 2.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace scrivel::apps {

// The most bytes a body may inflate to. Real notes inflate to a few
// kilobytes; the bound stops a hostile blob that expands without end.
inline constexpr std::size_t kMaxNoteBodyBytes = 16 * 1024 * 1024;

// The note text of `blob`, its invalid UTF-8 shown as U+FFFD; nullopt when
// the blob is empty, does not inflate completely within kMaxNoteBodyBytes,
// or is not a note protocol buffer. A body without text gives "".
std::optional<std::string> DecodeNoteStoreBody(std::string_view blob);

}  // namespace scrivel::apps
