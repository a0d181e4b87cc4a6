// Small, owning access to property lists through libplist: the owning
// pointer and top-level dictionary values by key. Lists are parsed only by
// plist_load.h, which checks them first.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include <plist/plist.h>

namespace scrivel {

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// True when `bytes` begins with the binary property-list magic "bplist".
bool IsBinaryPlist(std::span<const std::uint8_t> bytes);

// Values of the top-level dictionary `root` under `key`; nothing when the key
// is missing, the value has another type, or `root` is not a dictionary.
std::optional<std::string> PlistStringValue(plist_t root, const char* key);
std::optional<bool> PlistBoolValue(plist_t root, const char* key);
std::optional<std::int64_t> PlistUnixDateValue(plist_t root, const char* key);  // seconds since 1970, UTC

}  // namespace scrivel
