// Measures how deeply a property-list image nests, without building it.
//
// libplist parses and frees a property list recursively, one stack frame per
// level, so a file of a few megabytes made of nested arrays overflows the
// stack. These scanners walk the bytes with loops and an explicit, bounded
// stack, and tell before libplist is asked whether the image is shallow
// enough to hand over. plist_load.cpp is their only caller.
//
// XML: every element opens a level and its closing tag ends it; "<x/>",
// "<?...?>", "<!...>", comments and CDATA sections open none. The count is
// of elements, so it is one more than the value nesting (the <plist>
// element itself).
//
// Binary ("bplist00"), all integers big-endian:
//
//   trailer, the last 32 bytes:
//     unused            6 bytes
//     offsetSize        1 byte   size of one offset-table entry, 1..8
//     referenceSize     1 byte   size of one object reference, 1..8
//     objectCount       8 bytes
//     topObject         8 bytes  index of the root object
//     offsetTableOffset 8 bytes  where objectCount offsets start
//
//   object: marker byte, high nibble the type, low nibble a count
//     0xA array, 0xB ordered set, 0xC set: count references
//     0xD dictionary: count key references, then count value references
//     other types hold no references
//   a count nibble of 0xF means the count follows as an integer object:
//     marker 0x1N, then 2^N bytes
//
// Objects are found through references, so one object can be reached along
// many paths; libplist builds a separate copy for every path. The binary
// scanner therefore also counts the nodes libplist would build, and refuses a
// reference cycle outright.
#pragma once

#include <cstdint>
#include <span>

namespace scrivel {

enum class PlistNesting {
  kWithinLimits,  // no deeper than maxDepth, no more than maxNodes nodes
  kTooDeep,       // nested deeper than maxDepth
  kTooManyNodes,  // a binary list whose shared objects expand past maxNodes
  kMalformed,     // a binary list whose trailer, offsets or references do not fit the image
};

// Checks `bytes`, a binary or XML property list. The work is linear in the
// size of `bytes` (binary: in its objects and references).
PlistNesting CheckPlistNesting(std::span<const std::uint8_t> bytes, std::uint32_t maxDepth, std::uint64_t maxNodes);

}  // namespace scrivel
