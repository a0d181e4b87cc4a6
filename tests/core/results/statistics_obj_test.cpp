#include "core/results/statistics_obj.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/results/statistics_items.h"

namespace scrivel {
namespace {

using apps::ContactItem;
using apps::MessageItem;

std::vector<FileItem> Photos(int count, std::uint64_t size) {
  std::vector<FileItem> photos(count);
  for (int i = 0; i < count; ++i) {
    photos[i].name = "IMG_" + std::to_string(i) + ".JPG";
    photos[i].size = size;
  }
  return photos;
}

// The counters of the root and of one category always agree with a count
// made directly from the entries.
void ExpectCountersMatchEntries(const CStatisticsObj& stats) {
  std::uint32_t total = 0, checked = 0, hidden = 0, checkedHidden = 0;
  for (const StatisticsEntry& entry : stats.Entries()) {
    if (entry.group) continue;
    ++total;
    checked += entry.checked;
    hidden += entry.hidden;
    checkedHidden += entry.checked && entry.hidden;
  }
  EXPECT_EQ(stats.Root().total, total);
  EXPECT_EQ(stats.Root().checked, checked);
  EXPECT_EQ(stats.Root().hidden, hidden);
  EXPECT_EQ(stats.Root().checkedHidden, checkedHidden);
  EXPECT_EQ(stats.SelectedCount(), checked - checkedHidden);
}

TEST(StatisticsObjTest, RegisteredItemsStartCheckedAndCountAtLeast1024Bytes) {
  const std::vector<FileItem> photos = Photos(3, 10);  // 10 bytes each
  std::vector<FileItem> big = Photos(1, 5000);
  std::vector<MessageItem> rows(1);
  rows[0].text = "0123456789";  // 10 characters

  CStatisticsObj stats;
  ASSERT_TRUE(stats.RegisterCategory(&photos, CategoryKind::kCameraRoll, MakeStatisticsItems(photos)));
  ASSERT_TRUE(stats.RegisterCategory(&big, CategoryKind::kPhotoStream, MakeStatisticsItems(big)));
  ASSERT_TRUE(stats.RegisterCategory(&rows, CategoryKind::kMessages, MakeStatisticsItems(rows)));

  EXPECT_EQ(stats.Root().total, 5u);
  EXPECT_EQ(stats.Root().checked, 5u);
  EXPECT_EQ(stats.TotalBytes(), 3 * 1024u + 5000u + 1024u);
  EXPECT_EQ(stats.CheckedBytes(), stats.TotalBytes());
  EXPECT_EQ(stats.Find(&rows[0])->size, 1024u);
  EXPECT_EQ(stats.Find(&big[0])->size, 5000u);
  EXPECT_EQ(stats.GetCheckState(&photos), CheckState::kAll);
  // Registering a category twice changes nothing.
  EXPECT_FALSE(stats.RegisterCategory(&photos, CategoryKind::kCameraRoll, MakeStatisticsItems(photos)));
  EXPECT_EQ(stats.Root().total, 5u);
}

TEST(StatisticsObjTest, UncheckingOneOfTenMakesTheCategoryPartlyChecked) {
  const std::vector<FileItem> photos = Photos(10, 2048);
  CStatisticsObj stats;
  ASSERT_TRUE(stats.RegisterCategory(&photos, CategoryKind::kCameraRoll, MakeStatisticsItems(photos)));

  ASSERT_TRUE(stats.SetChecked(&photos[4], false));
  EXPECT_EQ(stats.GetCheckState(&photos), CheckState::kSome);
  EXPECT_EQ(stats.SelectedCount(), 9u);
  EXPECT_EQ(stats.CheckedBytes(), 9 * 2048u);
  // Unchecking again is not counted twice.
  ASSERT_TRUE(stats.SetChecked(&photos[4], false));
  EXPECT_EQ(stats.SelectedCount(), 9u);

  ASSERT_TRUE(stats.SetChecked(&photos, false));
  EXPECT_EQ(stats.GetCheckState(&photos), CheckState::kNone);
  EXPECT_EQ(stats.Root().checked, 0u);
  EXPECT_EQ(stats.CheckedBytes(), 0u);

  ASSERT_TRUE(stats.SetChecked(&photos, true));
  EXPECT_EQ(stats.GetCheckState(&photos), CheckState::kAll);
  EXPECT_EQ(stats.CheckedBytes(), 10 * 2048u);
  ExpectCountersMatchEntries(stats);
}

TEST(StatisticsObjTest, HidingTracksCheckedHiddenItemsAndSelectedBytes) {
  std::vector<ContactItem> contacts(4);
  contacts[0].deleted = 1;
  contacts[2].deleted = 1;
  CStatisticsObj stats;
  ASSERT_TRUE(stats.RegisterCategory(&contacts, CategoryKind::kContacts, MakeStatisticsItems(contacts)));

  // The deleted-only filter hides the live contacts.
  for (const ContactItem& contact : contacts) {
    if (contact.deleted == 0) {
      ASSERT_TRUE(stats.SetHidden(&contact, true));
    }
  }
  EXPECT_EQ(stats.Root().hidden, 2u);
  EXPECT_EQ(stats.Root().checkedHidden, 2u);
  EXPECT_EQ(stats.SelectedCount(), 2u);
  EXPECT_EQ(stats.SelectedBytes(), 2 * 1024u);

  // Unchecking a hidden item lowers checkedHidden; checking it again raises it.
  ASSERT_TRUE(stats.SetChecked(&contacts[1], false));
  EXPECT_EQ(stats.Root().checkedHidden, 1u);
  EXPECT_EQ(stats.SelectedCount(), 2u);
  ASSERT_TRUE(stats.SetChecked(&contacts[1], true));
  EXPECT_EQ(stats.Root().checkedHidden, 2u);

  // Turning the filter off restores everything.
  for (const ContactItem& contact : contacts) ASSERT_TRUE(stats.SetHidden(&contact, false));
  EXPECT_EQ(stats.Root().hidden, 0u);
  EXPECT_EQ(stats.Root().checkedHidden, 0u);
  EXPECT_EQ(stats.SelectedBytes(), stats.CheckedBytes());
  ExpectCountersMatchEntries(stats);

  // Groups cannot be hidden; unknown keys are refused.
  EXPECT_FALSE(stats.SetHidden(&contacts, true));
  int unknown = 0;
  EXPECT_FALSE(stats.SetHidden(&unknown, true));
  EXPECT_FALSE(stats.SetChecked(&unknown, false));
  EXPECT_EQ(stats.GetCheckState(&unknown), CheckState::kNone);
}

TEST(StatisticsObjTest, AppCategoriesCountPerAppAndUpToTheRoot) {
  const std::vector<FileItem> notebook = Photos(2, 4096);
  const std::vector<FileItem> camera = Photos(3, 4096);
  const std::vector<StatisticsAppGroup> apps = {
      {&notebook, "com.example.notebook", MakeStatisticsItems(notebook)},
      {&camera, "com.example.camera", MakeStatisticsItems(camera)},
  };
  int appPhotos = 0;  // stands for the category's container
  CStatisticsObj stats;
  ASSERT_TRUE(stats.RegisterAppCategory(&appPhotos, CategoryKind::kAppPhotos, apps));

  const StatisticsEntry* category = stats.Find(&appPhotos);
  ASSERT_NE(category, nullptr);
  EXPECT_TRUE(category->group);
  EXPECT_EQ(category->counter->total, 5u);
  EXPECT_EQ(category->counter->children.size(), 2u);
  EXPECT_EQ(stats.Find(&camera)->counter->total, 3u);

  // Unchecking one app leaves the category partly checked.
  ASSERT_TRUE(stats.SetChecked(&camera, false));
  EXPECT_EQ(stats.GetCheckState(&camera), CheckState::kNone);
  EXPECT_EQ(stats.GetCheckState(&notebook), CheckState::kAll);
  EXPECT_EQ(stats.GetCheckState(&appPhotos), CheckState::kSome);
  EXPECT_EQ(stats.Root().checked, 2u);
  ExpectCountersMatchEntries(stats);

  // Entries come in registration order: category, app, its files, app, ...
  std::vector<const void*> order;
  for (const StatisticsEntry& entry : stats.Entries()) {
    order.push_back(entry.group ? nullptr : ResultItemKey(entry.item));
  }
  const std::vector<const void*> expected = {nullptr, nullptr, &notebook[0], &notebook[1],
                                             nullptr, &camera[0], &camera[1], &camera[2]};
  EXPECT_EQ(order, expected);

  stats.Reset();
  EXPECT_EQ(stats.Root().total, 0u);
  EXPECT_EQ(stats.Find(&appPhotos), nullptr);
  EXPECT_EQ(stats.TotalBytes(), 0u);
}

}  // namespace
}  // namespace scrivel
