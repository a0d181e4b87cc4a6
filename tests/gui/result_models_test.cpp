// The data list's model and proxy over small hand-made result lists: which
// rows the deleted-only filter and the search leave, the sort by raw
// values, the check boxes against the selection statistics (with the app
// folders' three states), and the small rules beside them: backup order,
// the decrypted-file count and the command line.
#include <gtest/gtest.h>

#include <QColor>

#include "core/results/scan_categories.h"
#include "core/results/statistics_items.h"
#include "gui/app/command_line.h"
#include "gui/dialogs/decryption_wnd.h"
#include "gui/models/result_filter_proxy.h"
#include "gui/models/result_list_model.h"
#include "gui/pages/itunes_backup_vrt_wnd.h"
#include "gui/skin/skin_colors.h"

namespace scrivel::gui {
namespace {

ContactItem Contact(const char* name, const char* company, bool deleted) {
  ContactItem contact;
  contact.name = name;
  contact.company = company;
  contact.phone = "+1555\n5551234";
  contact.deleted = deleted ? 1 : 0;
  return contact;
}

FileItem File(const char* name, std::uint64_t size, const char* app = "") {
  FileItem file;
  file.name = name;
  file.size = size;
  file.path = std::string("/backup/") + name;
  file.app = app;
  return file;
}

QStringList Column(const QAbstractItemModel& model, int column) {
  QStringList texts;
  for (int row = 0; row < model.rowCount(); ++row) texts << model.index(row, column).data().toString();
  return texts;
}

class ResultModelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_contacts = {Contact("Ana Silva", "Acme", false), Contact("björn berg", "", true),
                  Contact("Carla Ng", "Zeta Labs", false), Contact("Dev ANA", "", true)};
    ASSERT_TRUE(m_statistics.RegisterCategory(&m_contacts, CategoryKind::kContacts, MakeStatisticsItems(m_contacts)));
    m_model.SetStatistics(&m_statistics);
    m_proxy.setSourceModel(&m_model);
  }

  std::vector<ContactItem> m_contacts;
  CStatisticsObj m_statistics;
  CResultListModel m_model;
  CResultFilterProxy m_proxy;
};

TEST_F(ResultModelsTest, FilterAndSearchLeaveTheExpectedRows) {
  m_model.ShowContacts(m_contacts);
  ASSERT_EQ(m_model.columnCount(), 5);
  struct Case {
    bool deletedOnly;
    const char* search;
    QStringList names;
  };
  const Case cases[] = {
      {false, "", {"Ana Silva", "björn berg", "Carla Ng", "Dev ANA"}},
      {true, "", {"björn berg", "Dev ANA"}},
      {false, "ana", {"Ana Silva", "Dev ANA"}},        // either case, any place in a cell
      {true, "ana", {"Dev ANA"}},                      // both filters at once
      {false, "zeta", {"Carla Ng"}},                   // another column (company)
      {false, "5551234", {"Ana Silva", "björn berg", "Carla Ng", "Dev ANA"}},  // in the phone's second line, not shown in the cell
      {false, "  berg ", {"björn berg"}},              // blanks around the text do not count
      {false, "nobody", {}},
  };
  for (const Case& c : cases) {
    m_proxy.SetDeletedOnly(c.deletedOnly);
    m_proxy.SetSearchText(QString::fromUtf8(c.search));
    EXPECT_EQ(Column(m_proxy, 0), c.names) << "deleted only " << c.deletedOnly << ", search '" << c.search << "'";
  }
}

TEST_F(ResultModelsTest, DeletedRowsCarryTheDeletedColourAndRole) {
  m_model.ShowContacts(m_contacts);
  for (int row = 0; row < m_model.rowCount(); ++row) {
    const bool deleted = m_contacts[static_cast<std::size_t>(row)].deleted != 0;
    EXPECT_EQ(m_model.index(row, 0).data(CResultListModel::kDeletedRole).toBool(), deleted);
    const QVariant colour = m_model.index(row, 3).data(Qt::ForegroundRole);
    EXPECT_EQ(colour.isValid(), deleted);
    if (deleted) {
      EXPECT_EQ(colour.value<QColor>().rgba(), kDeletedRecordColor);
    }
  }
  EXPECT_EQ(m_model.index(0, 2).data().toString(), "+1555");  // the first line of the phone only
  EXPECT_FALSE(m_model.index(99, 0).data().isValid());
}

TEST_F(ResultModelsTest, SortsByRawValuesNotByShownText) {
  const std::vector<FileItem> files{File("b.jpg", 2048), File("A.jpg", 900), File("c.jpg", 1572864),
                                    File("d.jpg", 10)};
  m_model.ShowFiles(CategoryKind::kCameraRoll, files);
  struct Case {
    int column;
    Qt::SortOrder order;
    QStringList names;
  };
  const Case cases[] = {
      {1, Qt::AscendingOrder, {"d.jpg", "A.jpg", "b.jpg", "c.jpg"}},  // 10 B, 900 B, 2 KB, 1.5 MB
      {1, Qt::DescendingOrder, {"c.jpg", "b.jpg", "A.jpg", "d.jpg"}},
      {0, Qt::AscendingOrder, {"A.jpg", "b.jpg", "c.jpg", "d.jpg"}},   // letters folded
  };
  for (const Case& c : cases) {
    m_proxy.sort(c.column, c.order);
    EXPECT_EQ(Column(m_proxy, 0), c.names) << "column " << c.column << " order " << c.order;
  }
  m_proxy.sort(-1);
  EXPECT_EQ(Column(m_proxy, 0), QStringList({"b.jpg", "A.jpg", "c.jpg", "d.jpg"}));  // the category's own order
  EXPECT_EQ(m_model.index(2, 1).data().toString(), "1.50 MB");
}

TEST_F(ResultModelsTest, ChecksWriteTheStatistics) {
  m_model.ShowContacts(m_contacts);
  int notices = 0;
  QObject::connect(&m_model, &CResultListModel::checksChanged, [&notices] { ++notices; });
  EXPECT_EQ(m_statistics.SelectedCount(), 4u);
  EXPECT_TRUE(m_model.setData(m_model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_EQ(m_model.index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_EQ(m_statistics.SelectedCount(), 3u);
  EXPECT_EQ(m_statistics.GetCheckState(&m_contacts), CheckState::kSome);
  EXPECT_FALSE(m_model.setData(m_model.index(1, 1), Qt::Checked, Qt::CheckStateRole));  // only column 0 has a box

  m_model.SetRowsChecked({0, 2, 3}, false);
  EXPECT_EQ(m_statistics.SelectedCount(), 0u);
  EXPECT_EQ(m_statistics.GetCheckState(&m_contacts), CheckState::kNone);
  m_model.SetRowsChecked({0, 1, 2, 3, 7}, true);  // a row out of range is skipped
  EXPECT_EQ(m_statistics.GetCheckState(&m_contacts), CheckState::kAll);
  EXPECT_EQ(notices, 3);

  // The deleted-only filter hides live rows from what export takes.
  EXPECT_EQ(SetDeletedOnlyFilter(m_statistics, CategoryKind::kContacts, true), 2u);
  EXPECT_EQ(m_statistics.SelectedCount(), 2u);
}

TEST(AppFolderModelTest, FolderRowsShowThreeStatesAndOpenToFiles) {
  FilesByApp apps;
  apps["com.example.notes"] = {File("n1.png", 100, "com.example.notes"), File("n2.png", 100, "com.example.notes")};
  apps["org.sample.cam"] = {File("c1.jpg", 5000, "org.sample.cam")};
  ScanResults results;
  results.appPhotos = apps;
  ConversationRows rows;
  CStatisticsObj statistics;
  ASSERT_TRUE(RegisterScanCategory(statistics, CategoryKind::kAppPhotos, results, rows));
  CResultListModel model;
  model.SetStatistics(&statistics);
  model.ShowAppFolders(CategoryKind::kAppPhotos, results.appPhotos);
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.level(), CResultListModel::Level::kAppFolders);
  EXPECT_EQ(Column(model, 0), QStringList({"com.example.notes", "org.sample.cam"}));
  EXPECT_EQ(Column(model, 2), QStringList({"2", "1"}));

  const auto& notes = results.appPhotos.at("com.example.notes");
  ASSERT_TRUE(statistics.SetChecked(&notes[0], false));
  EXPECT_EQ(model.index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
  EXPECT_EQ(model.index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
  EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));  // the whole app
  EXPECT_EQ(statistics.Find(&notes[1])->checked, false);

  model.ShowAppFiles(CategoryKind::kAppPhotos, "com.example.notes", notes);
  EXPECT_EQ(model.level(), CResultListModel::Level::kAppFiles);
  EXPECT_EQ(Column(model, 0), QStringList({"n1.png", "n2.png"}));
  EXPECT_EQ(Column(model, 1), QStringList({"com.example.notes", "com.example.notes"}));
}

TEST(BackupOrderTest, NewestFirstUndatedLast) {
  struct Case {
    std::vector<const char*> dates;
    std::vector<int> order;  // input positions, in shown order
  };
  const Case cases[] = {
      {{"2023-01-02 10:00:00", "2024-05-12 02:30:00", "2023-12-31 23:59:59"}, {1, 2, 0}},
      {{"", "2020-01-01 00:00:00", ""}, {1, 0, 2}},
      {{"2021-06-01 08:00:00", "2021-06-01 08:00:00"}, {0, 1}},  // ties keep their order
  };
  for (const Case& c : cases) {
    std::vector<BackupInfo> backups;
    for (std::size_t i = 0; i < c.dates.size(); ++i) {
      BackupInfo info;
      info.lastBackupDate = c.dates[i];
      info.folderPath = std::to_string(i);
      backups.push_back(info);
    }
    SortBackupsNewestFirst(backups);
    std::vector<int> order;
    for (const BackupInfo& info : backups) order.push_back(std::stoi(info.folderPath));
    EXPECT_EQ(order, c.order);
  }
}

TEST(DecryptionCountTest, PercentMapsToFilesDone) {
  struct Case {
    int percent;
    int step;
    std::uint64_t files;
    std::uint64_t done;
  };
  const Case cases[] = {
      {0, 10, 1000, 0},    {1, 10, 1000, 0},    {2, 10, 1000, 100}, {6, 10, 1000, 500},
      {11, 10, 1000, 1000}, {40, 10, 1000, 1000},  // later progress is the scan's, not the decryption's
      {5, 10, 0, 0},       {5, 0, 1000, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CDecryptionWnd::DecryptedFiles(c.percent, c.step, c.files), c.done)
        << c.percent << "% of " << c.files << " files, step " << c.step;
  }
}

TEST(CommandLineTest, BackupFolderScanAndHelp) {
  using Action = CommandLine::Action;
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    const char* folder;
    bool scan;
  };
  const Case cases[] = {
      {{}, Action::kRun, "", false},
      {{"/b/one"}, Action::kRun, "/b/one", false},
      {{"--scan", "/b/one"}, Action::kRun, "/b/one", true},
      {{"/b/one", "--scan"}, Action::kRun, "/b/one", true},
      {{"--scan"}, Action::kError, "", true},
      {{"/b/one", "/b/two"}, Action::kError, "/b/one", false},
      {{"--bogus"}, Action::kError, "", false},
      {{"-platform", "offscreen", "/b/one"}, Action::kRun, "/b/one", false},  // Qt's options are Qt's
      {{"/b/one", "--help"}, Action::kHelp, "/b/one", false},
      {{"--version"}, Action::kVersion, "", false},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action) << testing::PrintToString(c.arguments);
    if (c.action == Action::kRun) {
      EXPECT_EQ(line.backupFolder.toStdString(), c.folder);
      EXPECT_EQ(line.scan, c.scan);
    }
  }
}

}  // namespace
}  // namespace scrivel::gui
