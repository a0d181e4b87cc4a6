// What the application reads and removes beside the user's data: the web
// addresses from config.ini, and the preview files at exit (those three
// files, nothing else).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "gui/app/exit_cleanup.h"
#include "gui/app/web_addresses.h"

namespace scrivel::gui {
namespace {

class AppFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    m_folder = std::filesystem::temp_directory_path() / ("scrivel-test-gui-" + std::to_string(random()));
    std::filesystem::create_directories(m_folder);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(m_folder / name) << text; }

  std::filesystem::path m_folder;
};

TEST_F(AppFilesTest, DeletesOnlyThePreviewFiles) {
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi", "tmp.png", "Manifest.db"}) Write(name, "x");
  DeletePreviewFiles(m_folder);
  for (const char* gone : {"tmp.jpg", "tmp.wav", "tmp.avi"}) EXPECT_FALSE(std::filesystem::exists(m_folder / gone));
  for (const char* kept : {"tmp.png", "Manifest.db"}) EXPECT_TRUE(std::filesystem::exists(m_folder / kept));
  DeletePreviewFiles(m_folder);  // missing files are fine
  DeletePreviewFiles({});        // no work folder: nothing happens
}

TEST_F(AppFilesTest, WebAddressesComeFromConfigOrDefaults) {
  const WebAddresses defaults = LoadWebAddresses(m_folder.string() + "/");
  EXPECT_EQ(defaults.help.scheme(), "https");
  EXPECT_TRUE(defaults.about.isValid());

  Write("config.ini",
        "[DefaultLanguage]\nDefault=English\n[WebAddresses]\nHelp=https://example.org/guide?x=1\n"
        "About=javascript:alert(1)\nSupport=not an address\n");
  const WebAddresses loaded = LoadWebAddresses(m_folder.string() + "/");
  EXPECT_EQ(loaded.help, QUrl("https://example.org/guide?x=1"));
  EXPECT_EQ(loaded.about, defaults.about);      // only web pages are opened
  EXPECT_EQ(loaded.support, defaults.support);
}

}  // namespace
}  // namespace scrivel::gui
