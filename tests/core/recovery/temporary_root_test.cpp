#include "core/recovery/temporary_root.h"

#include <gtest/gtest.h>

#include <map>

namespace scrivel {
namespace {

TEST(TemporaryRootTest, ChoosesWorkFolderOrTheFreestMountPoint) {
  const std::int64_t enough = static_cast<std::int64_t>(kTemporaryRootMinimumFree);
  const struct {
    std::map<std::string, std::int64_t> free;  // missing: unknown (-1)
    std::string expected;
    const char* what;
  } cases[] = {
      {{{"/data/", enough}}, "/work/Vantoric_tmp_backup/", "exactly 15 GiB + 1 free"},
      {{{"/data/", enough - 1}, {"/", 10}, {"/mnt/big", 50}, {"/mnt/same", 50}},
       "/mnt/big/Vantoric_tmp_backup/",
       "one byte short: the mount point with most space, the first on a tie"},
      {{{"/", 0}}, "/Vantoric_tmp_backup/", "unknown application-data space, one full mount point"},
      {{}, "", "nothing known"},
  };
  for (const auto& c : cases) {
    const FreeSpaceQuery query = [&](const std::string& path) {
      const auto found = c.free.find(path);
      return found == c.free.end() ? std::int64_t{-1} : found->second;
    };
    EXPECT_EQ(ChooseTemporaryRootFrom("/data/", "/work/", {"/", "/mnt/big", "/mnt/same"}, query), c.expected)
        << c.what;
  }
}

}  // namespace
}  // namespace scrivel
