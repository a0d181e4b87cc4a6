#include "core/apps/contacts_name.h"

#include <cstddef>

namespace scrivel::apps {

namespace {

// How a script joins the given and family names.
enum class NameScript {
  kSpaced,           // words separated by blanks (Latin, Cyrillic, Greek, Arabic, ...)
  kFamilyFirstJoined,  // Han, Hiragana, Katakana, Hangul: family name first, no blank
  kGivenFirstJoined,   // Thai, Lao, Khmer, Myanmar: given name first, no blank
  kNeutral,          // digits and punctuation only: takes the script of the other part
};

// Reads the code point at `*index` of well-formed or damaged UTF-8; a bad
// byte reads as itself and is skipped.
char32_t NextCodePoint(std::string_view text, std::size_t* index) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*index);
  std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
  if (*index + length > text.size()) length = 1;
  char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (byte(*index + i) & 0x3F);
  *index += length;
  return codePoint;
}

NameScript ScriptOf(char32_t c) {
  const bool han = (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
                   (c >= 0x20000 && c <= 0x3134F) || c == 0x3005;  // 々, the iteration mark
  const bool kana = (c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0xFF66 && c <= 0xFF9F);
  const bool hangul = (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) || (c >= 0xAC00 && c <= 0xD7AF);
  if (han || kana || hangul) return NameScript::kFamilyFirstJoined;
  const bool thai = c >= 0x0E00 && c <= 0x0E7F;
  const bool lao = c >= 0x0E80 && c <= 0x0EFF;
  const bool myanmar = c >= 0x1000 && c <= 0x109F;
  const bool khmer = c >= 0x1780 && c <= 0x17FF;
  if (thai || lao || myanmar || khmer) return NameScript::kGivenFirstJoined;
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
  return letter ? NameScript::kSpaced : NameScript::kNeutral;
}

// The script of a name part: the script of its letters when they all share
// one; spaced when they mix.
NameScript ScriptOf(std::string_view part) {
  NameScript script = NameScript::kNeutral;
  for (std::size_t i = 0; i < part.size();) {
    const NameScript letter = ScriptOf(NextCodePoint(part, &i));
    if (letter == NameScript::kNeutral) continue;
    if (script != NameScript::kNeutral && script != letter) return NameScript::kSpaced;
    script = letter;
  }
  return script;
}

// The script the given, middle and family names share; spaced when they
// differ or when they hold no letters.
NameScript SharedScript(const PersonNameParts& parts) {
  NameScript shared = NameScript::kNeutral;
  for (std::string_view part : {parts.first, parts.middle, parts.last}) {
    const NameScript script = ScriptOf(part);
    if (script == NameScript::kNeutral) continue;
    if (shared != NameScript::kNeutral && shared != script) return NameScript::kSpaced;
    shared = script;
  }
  return shared == NameScript::kNeutral ? NameScript::kSpaced : shared;
}

void AppendPart(std::string_view part, std::string_view separator, std::string& name) {
  if (part.empty()) return;
  if (!name.empty()) name += separator;
  name += part;
}

}  // namespace

std::string ComposePersonName(const PersonNameParts& parts) {
  std::string core;
  switch (SharedScript(parts)) {
    case NameScript::kFamilyFirstJoined:
      for (std::string_view part : {parts.last, parts.middle, parts.first}) AppendPart(part, "", core);
      break;
    case NameScript::kGivenFirstJoined:
      for (std::string_view part : {parts.first, parts.middle, parts.last}) AppendPart(part, "", core);
      break;
    case NameScript::kSpaced:
    case NameScript::kNeutral:
      for (std::string_view part : {parts.first, parts.middle, parts.last}) AppendPart(part, " ", core);
      break;
  }
  std::string name;
  for (std::string_view part : {parts.prefix, std::string_view(core), parts.suffix}) AppendPart(part, " ", name);
  return name;
}

}  // namespace scrivel::apps
