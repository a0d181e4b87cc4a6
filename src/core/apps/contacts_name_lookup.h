// Names a phone number or address from the raw address-book records (as
// the contact decoder delivers them, before the contact list reduces their
// phone texts): the first contact, in decoder order, whose phone text
// contains the number as a substring (exact, letter case kept) gives its
// name. Messages and call history use it.
//
// The phone texts are laid end to end, NUL-separated, and every 4-byte
// window of that text is indexed by its bytes. A number is looked up
// through its rarest window: the positions of that window, in ascending
// order, are checked for the whole number, and the first hit lies in the
// first contact that contains it. Each distinct number is searched once.
// So naming 200,000 messages against 5,000 contacts costs a few
// microseconds per distinct partner instead of a pass over every phone
// text per message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/apps/table_records.h"

namespace scrivel::apps {

class ContactNameLookup {
 public:
  // Borrows `contacts`, which must outlive the lookup and stay unchanged.
  explicit ContactNameLookup(const std::vector<ContactItem>& contacts);
  ContactNameLookup(const ContactNameLookup&) = delete;
  ContactNameLookup& operator=(const ContactNameLookup&) = delete;

  // The name of the first contact whose phone text contains `number`; ""
  // when none does. An empty `number` is contained in every phone text.
  const std::string& NameFor(const std::string& number);

 private:
  static constexpr std::size_t kNoContact = static_cast<std::size_t>(-1);
  static constexpr std::size_t kWindowSize = 4;  // bytes of an indexed window

  std::size_t FirstContactContaining(std::string_view number) const;
  // The first position at or after which `number` starts in m_phoneTexts.
  std::size_t FirstPosition(std::string_view number) const;
  std::size_t ContactAt(std::size_t position) const;

  const std::vector<ContactItem>& m_contacts;
  std::string m_phoneTexts;                  // every phone text, each followed by a NUL separator
  std::vector<std::size_t> m_phoneEnds;      // per contact: offset of its separator in m_phoneTexts
  // Each window as (its 4 bytes, big-endian) << 32 | (where it starts in
  // m_phoneTexts), sorted; empty when not indexed.
  std::vector<std::uint64_t> m_windows;
  std::unordered_map<std::string, std::size_t> m_found;  // number -> contact index, or kNoContact
};

}  // namespace scrivel::apps
