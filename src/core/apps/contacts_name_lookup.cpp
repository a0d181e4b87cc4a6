#include "core/apps/contacts_name_lookup.h"

#include <algorithm>
#include <limits>

namespace scrivel::apps {

namespace {

const std::string kNoName;

// A window as one sortable number: its bytes, then its position.
std::uint64_t PackWindow(std::uint32_t bytes, std::uint32_t position) {
  return (static_cast<std::uint64_t>(bytes) << 32) | position;
}

constexpr std::uint32_t kLastPosition = std::numeric_limits<std::uint32_t>::max();

std::size_t WindowPosition(std::uint64_t window) { return static_cast<std::uint32_t>(window); }

std::uint32_t WindowAt(std::string_view text, std::size_t position) {
  std::uint32_t bytes = 0;
  for (std::size_t i = 0; i < 4; ++i) bytes = (bytes << 8) | static_cast<unsigned char>(text[position + i]);
  return bytes;
}

}  // namespace

ContactNameLookup::ContactNameLookup(const std::vector<ContactItem>& contacts) : m_contacts(contacts) {
  m_phoneEnds.reserve(contacts.size());
  for (const ContactItem& contact : contacts) {
    m_phoneTexts += contact.phone;
    m_phoneEnds.push_back(m_phoneTexts.size());
    m_phoneTexts += '\0';
  }
  // Positions are 32-bit; a larger text (never seen in an address book) is searched without the index.
  if (m_phoneTexts.size() < kWindowSize || m_phoneTexts.size() > std::numeric_limits<std::uint32_t>::max()) return;
  m_windows.reserve(m_phoneTexts.size() - kWindowSize + 1);
  for (std::size_t position = 0; position + kWindowSize <= m_phoneTexts.size(); ++position)
    m_windows.push_back(PackWindow(WindowAt(m_phoneTexts, position), static_cast<std::uint32_t>(position)));
  std::sort(m_windows.begin(), m_windows.end());
}

const std::string& ContactNameLookup::NameFor(const std::string& number) {
  auto found = m_found.find(number);
  if (found == m_found.end()) found = m_found.emplace(number, FirstContactContaining(number)).first;
  return found->second == kNoContact ? kNoName : m_contacts[found->second].name;
}

std::size_t ContactNameLookup::FirstContactContaining(std::string_view number) const {
  // A number holding a NUL byte could match across a separator: search
  // contact by contact then.
  if (number.find('\0') != std::string_view::npos) {
    for (std::size_t i = 0; i < m_contacts.size(); ++i)
      if (m_contacts[i].phone.find(number) != std::string::npos) return i;
    return kNoContact;
  }
  if (number.empty()) return m_contacts.empty() ? kNoContact : 0;
  // The separators keep a match from spanning two phone texts, so the
  // first match in the joined text lies in the first contact that has one.
  const std::size_t position = FirstPosition(number);
  return position == std::string::npos ? kNoContact : ContactAt(position);
}

std::size_t ContactNameLookup::FirstPosition(std::string_view number) const {
  const std::string_view text(m_phoneTexts);
  if (number.size() < kWindowSize || m_windows.empty()) return text.find(number);

  // The number's window with the fewest occurrences in the text.
  auto rarest = m_windows.end();
  auto rarestEnd = m_windows.end();
  std::size_t rarestOffset = 0;
  for (std::size_t offset = 0; offset + kWindowSize <= number.size(); ++offset) {
    const std::uint32_t bytes = WindowAt(number, offset);
    const auto begin = std::lower_bound(m_windows.begin(), m_windows.end(), PackWindow(bytes, 0));
    const auto end = std::upper_bound(begin, m_windows.end(), PackWindow(bytes, kLastPosition));
    if (begin == end) return std::string::npos;  // a window of the number occurs nowhere
    if (rarest == m_windows.end() || end - begin < rarestEnd - rarest) {
      rarest = begin;
      rarestEnd = end;
      rarestOffset = offset;
    }
  }
  // Ascending positions of that window: the first one that holds the whole number wins.
  for (auto window = rarest; window != rarestEnd; ++window) {
    const std::size_t position = WindowPosition(*window);
    if (position < rarestOffset) continue;
    const std::size_t start = position - rarestOffset;
    if (text.compare(start, number.size(), number) == 0) return start;
  }
  return std::string::npos;
}

std::size_t ContactNameLookup::ContactAt(std::size_t position) const {
  // The contact whose separator is the first one at or after the position.
  const auto end = std::lower_bound(m_phoneEnds.begin(), m_phoneEnds.end(), position);
  return static_cast<std::size_t>(end - m_phoneEnds.begin());
}

}  // namespace scrivel::apps
