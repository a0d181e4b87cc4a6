#include "core/backup/info_plist.h"

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "backup_test_support.h"
#include "core/common/plist_values.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

using testing::TempFolder;

constexpr long kBias = -480;  // UTC+8: 02:30 UTC shows as 10:30

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// An Info.plist in the shape the device writes: sorted keys, one per line,
// each value on the line after its key.
std::string XmlInfoPlist(std::string_view body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n" +
         std::string(body) + "</dict>\n</plist>\n";
}

BackupInfo Summary(std::string_view plistText) {
  BackupInfo info;
  std::string problem;
  (void)ReadInfoPlistSummary(Bytes(plistText), kBias, info, problem);
  return info;
}

TEST(InfoPlist, LineRules) {
  struct Case {
    const char* what;
    std::string body;
    BackupInfo expected;  // only the four texts are compared
  };
  const std::vector<Case> cases = {
      {"all four keys",
       "\t<key>Build Version</key>\n\t<string>13E238</string>\n"
       "\t<key>Display Name</key>\n\t<string>Anna’s iPhone</string>\n"
       "\t<key>Last Backup Date</key>\n\t<date>2016-05-12T02:30:00Z</date>\n"
       "\t<key>Phone Number</key>\n\t<string>+1 (555) 010-9999</string>\n"
       "\t<key>Serial Number</key>\n\t<string>F2LQ1234ABCD</string>\n",
       {false, "2016-05-12 10:30:00", "+1 (555) 010-9999", "F2LQ1234ABCD", "", "Anna’s iPhone"}},
      {"keys after Serial Number are never read",
       "\t<key>Serial Number</key>\n\t<string>S1</string>\n"
       "\t<key>Display Name</key>\n\t<string>Late</string>\n"
       "\t<key>Phone Number</key>\n\t<string>555</string>\n",
       {false, "", "", "S1", "", ""}},
      {"value line without its opening tag leaves the field empty",
       "\t<key>Display Name</key>\n\tAnna</string>\n"
       "\t<key>Phone Number</key>\n\t<string/>\n",
       {false, "", "", "", "", ""}},
      {"escapes are decoded; Windows line ends are dropped",
       "\t<key>Display Name</key>\r\n\t<string>Tom &amp; Jerry&#39;s &lt;Pad&gt; &#x1F600; &bogus;</string>\r\n",
       {false, "", "", "", "", "Tom & Jerry's <Pad> \xF0\x9F\x98\x80 &bogus;"}},
      {"a date that does not convert is kept as cut",
       "\t<key>Last Backup Date</key>\n\t<date>yesterday</date>\n",
       {false, "yesterday", "", "", "", ""}},
      {"a value without its closing tag runs to the end of the line",
       "\t<key>Phone Number</key>\n\t<string>555 0100\n",
       {false, "", "555 0100", "", "", ""}},
  };
  for (const Case& c : cases) {
    const BackupInfo info = Summary(XmlInfoPlist(c.body));
    EXPECT_EQ(c.expected.displayName, info.displayName) << c.what;
    EXPECT_EQ(c.expected.lastBackupDate, info.lastBackupDate) << c.what;
    EXPECT_EQ(c.expected.phoneNumber, info.phoneNumber) << c.what;
    EXPECT_EQ(c.expected.serialNumber, info.serialNumber) << c.what;
  }
}

TEST(InfoPlist, KeyOnTheLastLineLeavesItsFieldEmpty) {
  const BackupInfo info = Summary("<key>Phone Number</key>\n<string>1</string>\n<key>Display Name</key>");
  EXPECT_EQ("1", info.phoneNumber);
  EXPECT_EQ("", info.displayName);
}

std::vector<std::uint8_t> PlistBytes(plist_t root, bool binary) {
  char* data = nullptr;
  std::uint32_t size = 0;
  if (binary) plist_to_bin(root, &data, &size);
  else plist_to_xml(root, &data, &size);
  std::vector<std::uint8_t> bytes(data, data + size);
  std::free(data);
  return bytes;
}

TEST(InfoPlist, PropertyListsTheLineRulesCannotReadGoThroughLibplist) {
  const PlistPtr root(plist_new_dict());
  plist_dict_set_item(root.get(), "Display Name", plist_new_string("Binary Phone"));
  plist_dict_set_item(root.get(), "Phone Number", plist_new_string("+44 20 7946 0000"));
  plist_dict_set_item(root.get(), "Serial Number", plist_new_string("C39BIN"));
  // 2016-05-12T02:30:00Z in seconds since 2001-01-01
  plist_dict_set_item(root.get(), "Last Backup Date", plist_new_date(1463020200 - 978307200, 0));

  std::vector<std::uint8_t> oneLineXml = PlistBytes(root.get(), false);
  std::erase(oneLineXml, '\n');
  for (const auto& bytes : {PlistBytes(root.get(), true), oneLineXml}) {
    BackupInfo info;
    std::string problem;
    EXPECT_FALSE(ReadInfoPlistSummary(bytes, kBias, info, problem)) << problem;
    EXPECT_EQ("Binary Phone", info.displayName);
    EXPECT_EQ("+44 20 7946 0000", info.phoneNumber);
    EXPECT_EQ("C39BIN", info.serialNumber);
    EXPECT_EQ("2016-05-12 10:30:00", info.lastBackupDate);
  }
}

TEST(InfoPlist, GarbageGivesEmptyTexts) {
  for (std::string_view text : {std::string_view(""), std::string_view("bplist00\x01\x02", 10),
                                std::string_view("<plist><dict><key>Display Name"), std::string_view("\0\0\0", 3)}) {
    const BackupInfo info = Summary(text);
    EXPECT_EQ("", info.displayName);
    EXPECT_EQ("", info.serialNumber);
  }
}

TEST(InfoPlist, ReadBackupInfoFillsPathAndLeavesOutputAloneOnFailure) {
  TempFolder folder;
  BackupInfo info;
  info.displayName = "unchanged";
  EXPECT_EQ(kBadFile, ReadBackupInfo(folder.Path(), info));
  EXPECT_EQ("unchanged", info.displayName);

  testing::WriteFile(folder.Path() / "Info.plist",
                     XmlInfoPlist("<key>Display Name</key>\n<string>Phone</string>\n"));
  EXPECT_FALSE(ReadBackupInfo(folder.Path().string() + "/", info));
  EXPECT_EQ("Phone", info.displayName);
  EXPECT_EQ(folder.Path().string(), info.folderPath);  // no trailing "/"
  EXPECT_FALSE(info.encrypted);
}

TEST(InfoPlist, AHostileInfoPlistIsRefusedByNameAndTheOtherBackupsAreListed) {
  TempFolder root;
  testing::WriteFile(root.Path() / "good" / "Info.plist",
                     XmlInfoPlist("<key>Display Name</key>\n<string>Phone</string>\n"));
  std::string deep = "<plist>";
  for (int i = 0; i < 200000; ++i) deep += "<array>";
  testing::WriteFile(root.Path() / "deep" / "Info.plist", deep);
  testing::WriteFile(root.Path() / "garbage" / "Info.plist", "\x01\x02 not a list");
  std::filesystem::create_directories(root.Path() / "not a backup");

  std::vector<BackupInfo> listed;
  std::vector<std::string> problems;
  ReadAllBackupInfo({root.Path() / "deep", root.Path() / "garbage", root.Path() / "good", root.Path() / "not a backup"},
                    listed, &problems);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].displayName, "Phone");
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find((root.Path() / "deep" / "Info.plist").string()), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("nested more than 256 levels"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("not a property list"), std::string::npos) << problems[1];

  BackupInfo info;
  std::string problem;
  EXPECT_EQ(ReadBackupInfo(root.Path() / "deep", info, &problem), kBadFile);
  EXPECT_NE(problem.find("Info.plist"), std::string::npos);
}

}  // namespace
}  // namespace scrivel
