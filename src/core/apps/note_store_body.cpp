#include "core/apps/note_store_body.h"

#include <zlib.h>

#include <vector>

#include "core/apps/note_store_body.pb.h"
#include "core/sqlite/utf8_text.h"

namespace scrivel::apps {

namespace {

// zlib's window size 15 plus 32: the stream may carry a gzip or a zlib
// header, which zlib tells apart itself.
constexpr int kGzipOrZlibWindowBits = 15 + 32;

// The inflated bytes of `blob`, or nullopt when the stream is damaged,
// ends early (zlib then reports that it cannot go on) or grows beyond
// kMaxNoteBodyBytes.
std::optional<std::string> Inflate(std::string_view blob) {
  z_stream stream{};
  if (inflateInit2(&stream, kGzipOrZlibWindowBits) != Z_OK) return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(blob.data()));
  stream.avail_in = static_cast<uInt>(blob.size());
  std::string out;
  std::vector<char> chunk(64 * 1024);
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
    stream.avail_out = static_cast<uInt>(chunk.size());
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    const std::size_t produced = chunk.size() - stream.avail_out;
    if (out.size() + produced > kMaxNoteBodyBytes) {
      status = Z_MEM_ERROR;
      break;
    }
    out.append(chunk.data(), produced);
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> DecodeNoteStoreBody(std::string_view blob) {
  // A blob larger than zlib's counters can describe is no note body.
  if (blob.empty() || blob.size() > kMaxNoteBodyBytes) return std::nullopt;
  const std::optional<std::string> inflated = Inflate(blob);
  if (!inflated) return std::nullopt;
  notestore::NoteStoreRoot root;
  if (!root.ParseFromString(*inflated)) return std::nullopt;
  if (!root.has_document() || !root.document().has_note()) return std::nullopt;
  return sqlite::PlainText(root.document().note().text());
}

}  // namespace scrivel::apps
