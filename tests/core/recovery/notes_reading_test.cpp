// The notes of a backup come from notes.sqlite (up to iOS 8) and
// NoteStore.sqlite (iOS 9 on): a backup holding both gives the notes of
// both, one holding either gives its notes, and only when neither can be
// read is there a problem to report, about the store the backup has.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "core/recovery/database_prefetch.h"
#include "fixtures/database_builder.h"
#include "fixtures/note_store_database.h"
#include "fixtures/notes_database.h"
#include "fixtures/sample_backup.h"
#include "fixtures/sample_layouts.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fx = scrivel::fixtures;

class NotesReadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fx::Random random(7);
    fx::SampleLayouts layouts;
    ASSERT_TRUE(fx::ChooseSampleLayouts("", fx::StoreLayout::Modern, &layouts));
    ASSERT_FALSE(fx::BuildDatabase(m_notes, fx::PlanNotesDatabase(layouts, 6, random).definition, nullptr));
    ASSERT_TRUE(fx::ChooseSampleLayouts("ios15", fx::StoreLayout::Modern, &layouts));
    ASSERT_FALSE(fx::BuildDatabase(m_noteStore, fx::PlanNoteStoreDatabase(layouts, 6, random).definition, nullptr));
  }

  static std::size_t LockedNotes(const NotesReading& reading) {
    std::size_t locked = 0;
    for (const apps::NoteItem& note : reading.notes) locked += note.locked;
    return locked;
  }

  const fx::TemporaryFolder m_folder{"notes-reading"};
  const std::string m_notes = (m_folder.Path() / "notes.sqlite").string();
  const std::string m_noteStore = (m_folder.Path() / "NoteStore.sqlite").string();
  const std::string m_absent = (m_folder.Path() / "absent.sqlite").string();
};

TEST_F(NotesReadingTest, ABackupWithBothStoresGivesTheNotesOfBoth) {
  const NotesReading oldOnly = ReadNotes(m_notes, m_absent);
  const NotesReading newOnly = ReadNotes(m_absent, m_noteStore);
  const NotesReading both = ReadNotes(m_notes, m_noteStore);
  for (const NotesReading* reading : {&oldOnly, &newOnly, &both}) {
    EXPECT_FALSE(reading->result);
    EXPECT_FALSE(reading->notes.empty());
  }
  EXPECT_EQ(both.notes.size(), oldOnly.notes.size() + newOnly.notes.size());
  EXPECT_EQ(LockedNotes(oldOnly), 0u);
  EXPECT_EQ(LockedNotes(newOnly), 1u);
  EXPECT_EQ(LockedNotes(both), 1u);
}

TEST_F(NotesReadingTest, WhenNeitherIsReadTheStoreTheBackupHoldsIsReported) {
  const NotesReading none = ReadNotes(m_notes + ".missing", m_absent);
  EXPECT_TRUE(none.result);
  EXPECT_EQ(none.problemPath, m_notes + ".missing");
  EXPECT_TRUE(none.notes.empty());

  std::ofstream(m_absent) << "not a database";
  const NotesReading damaged = ReadNotes(m_notes + ".missing", m_absent);
  EXPECT_TRUE(damaged.result);
  EXPECT_EQ(damaged.problemPath, m_absent);
}

}  // namespace
}  // namespace scrivel
