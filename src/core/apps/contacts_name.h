// A person's name as the phone shows it, built from the stored name parts.
//
// Names in scripts that separate words with blanks show the given name
// first and every part separated by one blank ("Ann Lee", "Dr. Ann M Lee
// Jr."). Names in scripts written without blanks between words keep their
// parts together: Chinese, Japanese and Korean names put the family name
// first ("王小明", "佐藤健太"), Thai, Lao, Khmer and Burmese names keep the
// given name first ("สมชายใจดี"). A part in another script than the others
// keeps the blank between them.
#pragma once

#include <string>
#include <string_view>

namespace scrivel::apps {

struct PersonNameParts {
  std::string_view prefix;
  std::string_view first;
  std::string_view middle;
  std::string_view last;
  std::string_view suffix;
};

// The name shown for `parts`; empty when every part is empty.
std::string ComposePersonName(const PersonNameParts& parts);

}  // namespace scrivel::apps
