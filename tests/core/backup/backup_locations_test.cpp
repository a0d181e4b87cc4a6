#include "core/backup/backup_locations.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "backup_test_support.h"

namespace scrivel {
namespace {

using testing::TempFolder;

// Sets or removes an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnvironment() {
    if (m_old) setenv(m_name, m_old->c_str(), 1);
    else unsetenv(m_name);
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

TEST(BackupLocations, ApplicationDataFolderFollowsTheEnvironment) {
  {
    ScopedEnvironment dataHome("XDG_DATA_HOME", "/data/home");
    ScopedEnvironment home("HOME", "/home/anna");
    EXPECT_EQ("/data/home", DefaultAppDataFolder());
  }
  {
    ScopedEnvironment dataHome("XDG_DATA_HOME", "relative/ignored");
    ScopedEnvironment home("HOME", "/home/anna");
    EXPECT_EQ("/home/anna/.local/share", DefaultAppDataFolder());
  }
  {
    ScopedEnvironment dataHome("XDG_DATA_HOME", nullptr);
    ScopedEnvironment home("HOME", nullptr);
    EXPECT_EQ("", DefaultAppDataFolder());
  }
}

TEST(BackupLocations, BackupsRootNamesMatchWithoutRegardToCase) {
  TempFolder temp;
  const std::filesystem::path data = temp.Path();
  EXPECT_EQ(data / "Apple Computer" / "MobileSync" / "Backup", BackupsRootIn(data));  // nothing exists yet
  std::filesystem::create_directories(data / "apple computer" / "MobileSync" / "backup");
  EXPECT_EQ(data / "apple computer" / "MobileSync" / "backup", BackupsRootIn(data));
  EXPECT_EQ(data / "VantoriciOSRecovery", WorkFolderIn(data));
}

}  // namespace
}  // namespace scrivel
