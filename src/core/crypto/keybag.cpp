#include "core/crypto/keybag.h"

#include <cstring>
#include <optional>

#include "core/common/result_codes.h"

namespace scrivel::crypto {
namespace {

constexpr std::size_t kTagSize = 4;
constexpr std::size_t kRecordHeaderSize = kTagSize + 4;  // tag + uint32 length
constexpr std::size_t kIntegerValueSize = 4;

struct Record {
  char tag[kTagSize + 1] = {};
  std::span<const std::uint8_t> value;
};

std::uint32_t DecodeBigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
}

// Reads the record at the front of `input` and advances past it. Returns false
// when the header or the value runs past the end.
bool ReadRecord(std::span<const std::uint8_t>& input, Record& record) {
  if (input.size() < kRecordHeaderSize) return false;
  std::memcpy(record.tag, input.data(), kTagSize);
  const std::uint32_t length = DecodeBigEndian32(input.data() + kTagSize);
  input = input.subspan(kRecordHeaderSize);
  if (input.size() < length) return false;
  record.value = input.first(length);
  input = input.subspan(length);
  return true;
}

bool IsTag(const Record& record, const char* tag) { return std::memcmp(record.tag, tag, kTagSize) == 0; }

// Reads a 4-byte integer value; false when the value has another length.
bool ReadInteger(const Record& record, std::uint32_t& value) {
  if (record.value.size() != kIntegerValueSize) return false;
  value = DecodeBigEndian32(record.value.data());
  return true;
}

struct ClassKeyGroup {
  std::optional<std::uint32_t> protectionClass;
  std::uint32_t wrap = 0;
  std::uint32_t keyType = 0;
  std::vector<std::uint8_t> wrappedKey;
};

void KeepUsableGroup(const ClassKeyGroup& group, Keybag& out) {
  if (!group.protectionClass || group.wrappedKey.size() != kWrappedKeySize) return;
  out.classKeys.push_back({*group.protectionClass, group.wrap, group.keyType, group.wrappedKey});
}

std::error_code Fail(std::string& error, const char* reason) {
  error = reason;
  return kBadFile;
}

}  // namespace

std::error_code ParseKeybag(std::span<const std::uint8_t> bytes, Keybag& out, std::string& error) {
  out = Keybag{};
  error.clear();
  bool hasSalt = false;
  bool hasIterations = false;
  bool hasDoubleProtectionIterations = false;
  bool hasHeaderUuid = false;
  std::optional<ClassKeyGroup> group;  // set once the first class key UUID is seen

  std::span<const std::uint8_t> input = bytes;
  while (!input.empty()) {
    Record record;
    if (!ReadRecord(input, record)) return Fail(error, "keybag record runs past the end");

    if (IsTag(record, "UUID")) {
      if (!hasHeaderUuid) {
        hasHeaderUuid = true;
        out.uuid.assign(record.value.begin(), record.value.end());
      } else {
        if (group) KeepUsableGroup(*group, out);
        group.emplace();
      }
      continue;
    }

    bool integerOk = true;
    if (group) {
      if (IsTag(record, "CLAS")) {
        std::uint32_t value = 0;
        integerOk = ReadInteger(record, value);
        group->protectionClass = value;
      } else if (IsTag(record, "WRAP")) {
        integerOk = ReadInteger(record, group->wrap);
      } else if (IsTag(record, "KTYP")) {
        integerOk = ReadInteger(record, group->keyType);
      } else if (IsTag(record, "WPKY")) {
        group->wrappedKey.assign(record.value.begin(), record.value.end());
      }
    } else if (IsTag(record, "VERS")) {
      integerOk = ReadInteger(record, out.version);
    } else if (IsTag(record, "TYPE")) {
      integerOk = ReadInteger(record, out.type);
    } else if (IsTag(record, "SALT")) {
      hasSalt = !record.value.empty();
      out.salt.assign(record.value.begin(), record.value.end());
    } else if (IsTag(record, "ITER")) {
      integerOk = ReadInteger(record, out.iterations);
      hasIterations = integerOk && out.iterations > 0;
    } else if (IsTag(record, "DPIC")) {
      integerOk = ReadInteger(record, out.doubleProtectionIterations);
      hasDoubleProtectionIterations = integerOk && out.doubleProtectionIterations > 0;
    } else if (IsTag(record, "DPSL")) {
      out.doubleProtectionSalt.assign(record.value.begin(), record.value.end());
    }
    // "a 4-byte value is a big-endian unsigned integer": any other length is damage.
    if (!integerOk) return Fail(error, "keybag integer field is not 4 bytes long");
  }
  if (group) KeepUsableGroup(*group, out);

  if (!hasSalt) return Fail(error, "keybag has no SALT");
  if (!hasIterations) return Fail(error, "keybag has no ITER");
  if (out.iterations > kMaxSha1Iterations) return Fail(error, "keybag ITER is implausibly large");
  const bool hasDoubleProtectionSalt = !out.doubleProtectionSalt.empty();
  if (hasDoubleProtectionIterations != hasDoubleProtectionSalt) {
    return Fail(error, "keybag has only one of DPIC and DPSL");
  }
  out.hasDoubleProtection = hasDoubleProtectionSalt;
  if (out.doubleProtectionIterations > kMaxSha256Iterations) return Fail(error, "keybag DPIC is implausibly large");
  if (out.classKeys.empty()) return Fail(error, "keybag holds no class key");
  return {};
}

}  // namespace scrivel::crypto
