// The table of user-interface texts: the current language named by
// "config.ini" and every section of that language's file
// ("Languages/<name>.ini"), beside the executable.
//
// Windows obtain a section's key-to-text map once (GetSection) and keep the
// reference; ChangeLanguage empties and refills those same maps, so a kept
// map always shows the current language. Not thread-safe: the user-interface
// thread alone uses it; workers get their texts through their windows.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace scrivel {

class CLanguageStrings {
 public:
  using TextMap = std::map<std::string, std::string>;  // key -> text, compared case-sensitively

  // The process-wide table over GetAppDirectory(), created and loaded on
  // first use.
  static CLanguageStrings& Instance();

  // A table over the given application folder (ending in "/"), loaded at once
  // (LoadConfig, LoadLanguageList, LoadStrings). Tests point it anywhere.
  explicit CLanguageStrings(std::string appDirectory);

  CLanguageStrings(const CLanguageStrings&) = delete;
  CLanguageStrings& operator=(const CLanguageStrings&) = delete;

  // Reads "DefaultLanguage"/"Default" from config.ini; "English" when the
  // file or the entry is missing.
  void LoadConfig();
  // Reads the "Languages" section of config.ini: (name, display text) pairs
  // in file order.
  void LoadLanguageList();
  // Empties every section, then fills them from the current language's file;
  // the first occurrence of a key in a section wins. A missing or empty file
  // leaves every section empty. Returns 1.
  int LoadStrings();

  // The map of a section; a section not yet known is created empty.
  TextMap& GetSection(const std::string& name);

  // The text of a message id of the "Messages" section. A missing id is added
  // with an empty text, and that empty text is returned.
  const std::string& Message(const std::string& id);

  // Makes name the current language: writes it to config.ini, then reloads
  // the configuration and the texts (the language list is not read again).
  // When config.ini cannot be written the previous language stays.
  void ChangeLanguage(const std::string& name);

  const std::string& configPath() const { return m_configPath; }
  const std::string& languagesFolder() const { return m_languagesFolder; }
  const std::string& currentLanguage() const { return m_currentLanguage; }
  const std::vector<std::pair<std::string, std::string>>& languages() const { return m_languages; }

 private:
  std::string m_configPath;       // application folder + "config.ini"
  std::string m_languagesFolder;  // application folder + "Languages/"
  std::string m_currentLanguage;  // "English" unless config.ini names another
  std::vector<std::pair<std::string, std::string>> m_languages;  // (name, display text), file order
  std::map<std::string, TextMap> m_sections;  // nodes are never erased: references handed out stay valid
};

}  // namespace scrivel
