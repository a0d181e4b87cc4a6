#include "core/apps/contacts_phone.h"

#include <cstddef>
#include <vector>

namespace scrivel::apps {

namespace {

constexpr std::size_t kShortestWholeNumber = 7;  // digits: a subscriber number without its area code
constexpr std::size_t kShortestTail = 4;         // digits: shorter search forms end a number's digits
constexpr std::size_t kLongestNumber = 15;       // digits of the longest international number

// The digit of the telephone key that carries `letter` (a to z, any case).
char KeyDigit(char letter) {
  static constexpr char kKeys[] = "22233344455566677778889999";
  return kKeys[(letter | 0x20) - 'a'];
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The digits without a leading trunk digit ("0" or "8"); the digits as
// they are when they start with neither, or with "00" (an international
// prefix).
std::string_view WithoutTrunkDigit(std::string_view digits) {
  if (digits.size() < 2 || (digits[0] != '0' && digits[0] != '8') || digits.starts_with("00")) return digits;
  return digits.substr(1);
}

bool OneEndsWithTheOther(std::string_view a, std::string_view b) {
  const std::string_view shorter = a.size() < b.size() ? a : b;
  const std::string_view longer = a.size() < b.size() ? b : a;
  return shorter.size() >= kShortestWholeNumber && EndsWith(longer, shorter);
}

// A number of the text being reduced: what is shown, and its digits.
struct PhoneNumber {
  std::string shown;
  std::string digits;
};

// A search form of `number`: the same number, or a tail of its digits.
bool IsFormOf(std::string_view digits, const PhoneNumber& number) {
  if (SamePhoneNumber(digits, number.digits)) return true;
  return digits.size() >= kShortestTail && EndsWith(number.digits, digits);
}

}  // namespace

std::string PhoneDigits(std::string_view number) {
  std::string digits;
  for (const char c : number) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      digits += KeyDigit(c);
    }
  }
  return digits;
}

bool SamePhoneNumber(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  for (const std::string_view x : {a, WithoutTrunkDigit(a)})
    for (const std::string_view y : {b, WithoutTrunkDigit(b)})
      if (OneEndsWithTheOther(x, y)) return true;
  return false;
}

std::string ReducePhoneText(std::string_view phoneText) {
  std::vector<PhoneNumber> numbers;
  bool open = false;  // the last number may still take tokens
  std::size_t tokenBegin = 0;
  while (tokenBegin < phoneText.size()) {
    std::size_t tokenEnd = phoneText.find(' ', tokenBegin);
    if (tokenEnd == std::string_view::npos) tokenEnd = phoneText.size();
    const std::string_view token = phoneText.substr(tokenBegin, tokenEnd - tokenBegin);
    tokenBegin = tokenEnd + 1;
    if (token.empty()) continue;

    const std::string digits = PhoneDigits(token);
    // While a number takes tokens, a tail of its digits says nothing yet,
    // and before it has seven digits ("(415)") the next token is its
    // subscriber number, even when that ends an earlier number too.
    bool form = false;
    const bool areaCodeOnly = open && numbers.back().digits.size() < kShortestWholeNumber;
    for (std::size_t i = 0; i < numbers.size() && !form; ++i) {
      const bool taking = open && i + 1 == numbers.size();
      if (taking || (open && !areaCodeOnly)) {
        form = SamePhoneNumber(digits, numbers[i].digits);
      } else if (!open) {
        form = IsFormOf(digits, numbers[i]);
      }
    }
    if (form) {
      open = false;
      continue;
    }
    const bool continues = open && !token.starts_with('+') &&
                           numbers.back().digits.size() + digits.size() <= kLongestNumber;
    if (continues) {
      numbers.back().shown += ' ';
      numbers.back().shown += token;
      numbers.back().digits += digits;
    } else {
      numbers.push_back({std::string(token), digits});
      open = true;
    }
  }

  std::string reduced;
  for (const PhoneNumber& number : numbers) {
    if (!reduced.empty()) reduced += '\n';
    reduced += number.shown;
  }
  return reduced;
}

}  // namespace scrivel::apps
