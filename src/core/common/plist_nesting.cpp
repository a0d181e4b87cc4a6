#include "core/common/plist_nesting.h"

#include <string_view>
#include <unordered_map>
#include <vector>

namespace scrivel {
namespace {

// ---- XML -----------------------------------------------------------------

// Skips from `from` to just after the first `terminator`; the end of the text
// when there is none.
std::size_t SkipPast(std::string_view text, std::size_t from, std::string_view terminator) {
  const std::size_t found = text.find(terminator, from);
  return found == std::string_view::npos ? text.size() : found + terminator.size();
}

// A tag ends at the first '>' or '<' after its '<', quotes or not: that is
// how libplist reads it, and skipping less than libplist does can only make
// the count higher, never lower.
PlistNesting CheckXmlNesting(std::string_view text, std::uint32_t maxDepth) {
  std::uint32_t depth = 0;
  std::size_t at = text.find('<');
  while (at != std::string_view::npos) {
    const std::string_view tag = text.substr(at);
    std::size_t next = 0;
    if (tag.starts_with("<!--")) {
      next = SkipPast(text, at + 4, "-->");
    } else if (tag.starts_with("<![CDATA[")) {
      next = SkipPast(text, at + 9, "]]>");
    } else if (tag.starts_with("<?")) {
      next = SkipPast(text, at + 2, "?>");
    } else {
      const std::size_t end = text.find_first_of("<>", at + 1);
      next = end == std::string_view::npos ? text.size() : end + (text[end] == '>' ? 1 : 0);
      const bool isSpecial = tag.starts_with("<!");
      const bool isClosing = tag.starts_with("</");
      const bool isEmpty = end != std::string_view::npos && text[end] == '>' && text[end - 1] == '/';
      if (isClosing && depth > 0) {
        --depth;
      } else if (!isSpecial && !isClosing && !isEmpty && ++depth > maxDepth) {
        return PlistNesting::kTooDeep;
      }
    }
    at = text.find('<', next);
  }
  return PlistNesting::kWithinLimits;
}

// ---- Binary --------------------------------------------------------------

constexpr std::string_view kBinaryMagic = "bplist";
constexpr std::size_t kHeaderSize = 8;          // "bplist00"
constexpr std::size_t kTrailerSize = 6 + 1 + 1 + 8 + 8 + 8;  // unused, offsetSize, referenceSize, objectCount, topObject, offsetTableOffset
constexpr std::uint8_t kCountFollows = 0x0F;    // count nibble: the count is an integer object after the marker
constexpr std::uint8_t kIntegerType = 0x1;

// Reads `size` (1..8) big-endian bytes at `offset`; false when they do not fit.
bool ReadBigEndian(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::size_t size, std::uint64_t& out) {
  if (size == 0 || size > 8 || offset > bytes.size() || bytes.size() - offset < size) return false;
  out = 0;
  for (std::size_t i = 0; i < size; ++i) out = (out << 8) | bytes[offset + i];
  return true;
}

struct BinaryLayout {
  std::uint64_t offsetSize = 0;         // bytes per offset-table entry
  std::uint64_t referenceSize = 0;      // bytes per object reference
  std::uint64_t objectCount = 0;
  std::uint64_t topObject = 0;
  std::uint64_t offsetTableOffset = 0;
};

bool ReadTrailer(std::span<const std::uint8_t> bytes, BinaryLayout& out) {
  if (bytes.size() < kHeaderSize + kTrailerSize) return false;
  const std::uint64_t trailer = bytes.size() - kTrailerSize;
  out.offsetSize = bytes[trailer + 6];
  out.referenceSize = bytes[trailer + 7];
  if (!ReadBigEndian(bytes, trailer + 8, 8, out.objectCount) || !ReadBigEndian(bytes, trailer + 16, 8, out.topObject) ||
      !ReadBigEndian(bytes, trailer + 24, 8, out.offsetTableOffset)) {
    return false;
  }
  if (out.offsetSize < 1 || out.offsetSize > 8 || out.referenceSize < 1 || out.referenceSize > 8) return false;
  // The offset table lies between the header and the trailer; dividing first
  // keeps objectCount * offsetSize from overflowing.
  if (out.offsetTableOffset < kHeaderSize || out.offsetTableOffset > trailer) return false;
  if (out.objectCount > (trailer - out.offsetTableOffset) / out.offsetSize) return false;
  return out.topObject < out.objectCount;
}

// Where the references of one object lie: `count` entries (twice that for a
// dictionary) from `firstReference`.
struct ObjectReferences {
  std::uint64_t firstReference = 0;  // offset of the first reference in the image
  std::uint64_t count = 0;           // number of references; 0 for a value that holds none
};

bool ReadObjectReferences(std::span<const std::uint8_t> bytes, const BinaryLayout& layout, std::uint64_t object,
                          ObjectReferences& out) {
  std::uint64_t offset = 0;
  if (!ReadBigEndian(bytes, layout.offsetTableOffset + object * layout.offsetSize, layout.offsetSize, offset)) {
    return false;
  }
  if (offset < kHeaderSize || offset >= bytes.size()) return false;
  const std::uint8_t marker = bytes[offset];
  const std::uint8_t type = marker >> 4;
  out = ObjectReferences{};
  const bool isArrayOrSet = type == 0xA || type == 0xB || type == 0xC;
  const bool isDictionary = type == 0xD;
  if (!isArrayOrSet && !isDictionary) return true;
  std::uint64_t count = marker & 0x0F;
  std::uint64_t cursor = offset + 1;
  if (count == kCountFollows) {
    if (cursor >= bytes.size() || (bytes[cursor] >> 4) != kIntegerType) return false;
    const std::size_t countSize = std::size_t{1} << (bytes[cursor] & 0x0F);
    if (!ReadBigEndian(bytes, cursor + 1, countSize, count)) return false;
    cursor += 1 + countSize;
  }
  // The references must fit in the image; dividing first keeps the product
  // from overflowing.
  const std::uint64_t available = (bytes.size() - cursor) / layout.referenceSize;
  if (count > available || (isDictionary && count > available / 2)) return false;
  out.firstReference = cursor;
  out.count = isDictionary ? count * 2 : count;
  return true;
}

// What the walk knows of one container object.
struct Visit {
  bool finished = false;     // false while the object is on the walk's stack
  std::uint32_t height = 0;  // levels from this object down, itself included
  std::uint64_t nodes = 0;   // nodes libplist builds for it, copies of shared objects included
};

// One container on the walk's stack.
struct Frame {
  std::uint64_t object = 0;
  ObjectReferences references;
  std::uint64_t nextReference = 0;  // index into references of the next child to look at
  std::uint32_t height = 1;         // highest child height seen, plus one
  std::uint64_t nodes = 1;          // nodes seen so far, this one included
};

PlistNesting CheckBinaryNesting(std::span<const std::uint8_t> bytes, std::uint32_t maxDepth, std::uint64_t maxNodes) {
  BinaryLayout layout;
  if (!ReadTrailer(bytes, layout)) return PlistNesting::kMalformed;
  std::unordered_map<std::uint64_t, Visit> visits;  // containers only: a value's height and size are 1
  std::vector<Frame> stack;

  // Starts `object` on the stack, or folds what is known of it into `parent`.
  // Returns kWithinLimits to go on.
  auto enter = [&](std::uint64_t object, Frame* parent) -> PlistNesting {
    ObjectReferences references;
    if (object >= layout.objectCount || !ReadObjectReferences(bytes, layout, object, references)) {
      return PlistNesting::kMalformed;
    }
    std::uint32_t height = 1;
    std::uint64_t nodes = 1;
    if (references.count > 0 || visits.contains(object)) {
      auto [visit, isNew] = visits.try_emplace(object);
      if (isNew) {
        if (stack.size() >= maxDepth) return PlistNesting::kTooDeep;
        stack.push_back(Frame{object, references});
        return PlistNesting::kWithinLimits;
      }
      if (!visit->second.finished) return PlistNesting::kMalformed;  // a reference cycle
      height = visit->second.height;
      nodes = visit->second.nodes;
    }
    if (parent != nullptr) {
      if (height + 1 > parent->height) parent->height = height + 1;
      parent->nodes += nodes;
      if (parent->nodes > maxNodes) return PlistNesting::kTooManyNodes;
    }
    return PlistNesting::kWithinLimits;
  };

  if (const PlistNesting top = enter(layout.topObject, nullptr); top != PlistNesting::kWithinLimits) return top;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.nextReference == frame.references.count) {
      if (frame.height > maxDepth) return PlistNesting::kTooDeep;
      visits[frame.object] = Visit{true, frame.height, frame.nodes};
      const Frame done = frame;
      stack.pop_back();
      if (!stack.empty()) {
        Frame& parent = stack.back();
        if (done.height + 1 > parent.height) parent.height = done.height + 1;
        parent.nodes += done.nodes;
        if (parent.nodes > maxNodes) return PlistNesting::kTooManyNodes;
      }
      continue;
    }
    std::uint64_t child = 0;
    const std::uint64_t at = frame.references.firstReference + frame.nextReference * layout.referenceSize;
    ++frame.nextReference;
    if (!ReadBigEndian(bytes, at, layout.referenceSize, child)) return PlistNesting::kMalformed;
    // `frame` may move when enter() pushes; it is not used after this call.
    if (const PlistNesting result = enter(child, &frame); result != PlistNesting::kWithinLimits) return result;
  }
  return PlistNesting::kWithinLimits;
}

}  // namespace

PlistNesting CheckPlistNesting(std::span<const std::uint8_t> bytes, std::uint32_t maxDepth, std::uint64_t maxNodes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with(kBinaryMagic)) return CheckBinaryNesting(bytes, maxDepth, maxNodes);
  return CheckXmlNesting(text, maxDepth);
}

}  // namespace scrivel
