#include "core/common/language_strings.h"

#include "core/common/app_directory.h"
#include "core/common/profile_file.h"

namespace scrivel {
namespace {

constexpr const char* kDefaultLanguage = "English";
constexpr const char* kConfigSection = "DefaultLanguage";
constexpr const char* kConfigKey = "Default";
constexpr const char* kLanguagesSection = "Languages";
constexpr const char* kMessagesSection = "Messages";

// The value of the first key in the first section called sectionName.
const std::string* findValue(const std::vector<ProfileSection>& sections, const std::string& sectionName,
                             const std::string& key) {
  for (const ProfileSection& section : sections) {
    if (section.name != sectionName) continue;
    for (const ProfileLine& line : section.lines) {
      if (line.first == key) return &line.second;
    }
  }
  return nullptr;
}

}  // namespace

CLanguageStrings& CLanguageStrings::Instance() {
  static CLanguageStrings instance(GetAppDirectory());
  return instance;
}

CLanguageStrings::CLanguageStrings(std::string appDirectory)
    : m_configPath(appDirectory + "config.ini"), m_languagesFolder(appDirectory + "Languages/") {
  LoadConfig();
  LoadLanguageList();
  LoadStrings();
}

void CLanguageStrings::LoadConfig() {
  const std::vector<ProfileSection> config = ReadProfileFile(m_configPath);
  const std::string* name = findValue(config, kConfigSection, kConfigKey);
  m_currentLanguage = name != nullptr && !name->empty() ? *name : kDefaultLanguage;
}

void CLanguageStrings::LoadLanguageList() {
  m_languages.clear();
  for (const ProfileSection& section : ReadProfileFile(m_configPath)) {
    if (section.name != kLanguagesSection) continue;
    for (const ProfileLine& line : section.lines) m_languages.push_back(line);
  }
}

int CLanguageStrings::LoadStrings() {
  for (auto& [name, texts] : m_sections) texts.clear();
  for (const ProfileSection& section : ReadProfileFile(m_languagesFolder + m_currentLanguage + ".ini")) {
    TextMap& texts = m_sections[section.name];
    for (const ProfileLine& line : section.lines) texts.emplace(line.first, line.second);  // keeps the first
  }
  return 1;
}

CLanguageStrings::TextMap& CLanguageStrings::GetSection(const std::string& name) { return m_sections[name]; }

const std::string& CLanguageStrings::Message(const std::string& id) { return GetSection(kMessagesSection)[id]; }

void CLanguageStrings::ChangeLanguage(const std::string& name) {
  WriteProfileValue(m_configPath, kConfigSection, kConfigKey, name);  // a failure leaves the previous language
  LoadConfig();
  LoadStrings();
}

}  // namespace scrivel
