#include "core/sqlite_recovery/contacts_phone.h"

#include <cstddef>

#include "core/common/utf8.h"

namespace scrivel::sqlite_recovery {

namespace {

constexpr std::size_t kLongestShortForm = 6;  // tokens this long or shorter are short forms
constexpr std::size_t kNumberTailSize = 4;    // forms of one number share their last four characters

}  // namespace

std::string ReducePhoneText(std::string_view phoneText) {
  const std::u16string text = Utf8ToUtf16(phoneText);
  std::u16string result;
  std::u16string_view lastTail;
  std::size_t tokenBegin = 0;
  while (tokenBegin <= text.size()) {
    std::size_t tokenEnd = text.find(u' ', tokenBegin);
    if (tokenEnd == std::u16string::npos) tokenEnd = text.size();
    const std::u16string_view token = std::u16string_view(text).substr(tokenBegin, tokenEnd - tokenBegin);
    if (token.size() > kLongestShortForm) {
      const std::u16string_view tail = token.substr(token.size() - kNumberTailSize);
      if (tail != lastTail) {
        if (!result.empty()) result += u'\n';
        result += token;
        lastTail = tail;
      }
    }
    tokenBegin = tokenEnd + 1;
  }
  return Utf16ToUtf8(result);
}

}  // namespace scrivel::sqlite_recovery
