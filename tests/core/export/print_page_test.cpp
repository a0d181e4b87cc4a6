#include "core/export/print_page.h"

#include <gtest/gtest.h>

#include "core/common/result_codes.h"
#include "export_fixture.h"
#include "html_check.h"

namespace scrivel {
namespace {

using apps::CallItem;
using apps::ChatMessageItem;
using apps::MessageItem;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class PrintPageTest : public testing::ExportFixture {
 protected:
  std::error_code Build(CategoryKind kind, bool deletedOnly, std::string* content, const std::atomic<bool>* cancel = nullptr) {
    PrintRequest request;
    request.kind = kind;
    request.deletedOnly = deletedOnly;
    request.statistics = &m_stats;
    request.results = &m_results;
    request.rows = &m_rows;
    request.cancelled = cancel;
    return BuildPrintContent(request, content);
  }
};

TEST_F(PrintPageTest, CheckedCallsInListOrderAndTheDeletedOnlyFilter) {
  for (const char* address : {"+1", "+2", "+3"}) {
    CallItem call;
    call.address = address;
    call.date = "2024-01-01 00:00:00";
    call.deleted = std::string(address) == "+2";
    m_results.calls.push_back(call);
  }
  RegisterAll({CategoryKind::kCallHistory});
  ASSERT_TRUE(m_stats.SetChecked(&m_results.calls[2], false));  // sorted: +2 (deleted), +1, +3

  std::string content;
  ASSERT_FALSE(Build(CategoryKind::kCallHistory, false, &content));
  EXPECT_EQ(Count(content, "<div>\r\n"), 2u);
  EXPECT_LT(content.find("+2"), content.find("+1"));
  EXPECT_EQ(content.find("+3"), std::string::npos);
  EXPECT_NE(content.find("<p><span>Duration:</span>Canceled</p>\r\n"), std::string::npos);

  content.clear();
  ASSERT_FALSE(Build(CategoryKind::kCallHistory, true, &content));
  EXPECT_EQ(Count(content, "<div>\r\n"), 1u);
}

TEST_F(PrintPageTest, ConversationsPrintEveryMessageEscaped) {
  MessageItem live;
  live.handleId = 4;
  live.name = "Ann";
  live.address = "+4";
  live.date = "2024-01-01 00:00:00";
  live.text = "<script>x</script>";
  MessageItem gone = live;
  gone.deleted = 1;
  gone.fromMe = 1;
  gone.text = "bye";
  m_results.messages[4] = {live, gone};
  ChatMessageItem own;
  own.chatSessionId = 9;
  own.fromMe = 1;
  own.senderName = "Me";
  own.date = "2024-02-02 10:00:00";
  own.text = "hi & bye";
  own.chatTitle = "Eve";
  m_results.whatsApp[9] = {own};
  RegisterAll({CategoryKind::kMessages, CategoryKind::kWhatsApp});

  // The deleted-only filter keeps the conversation (one message is deleted)
  // and prints all of its messages.
  std::string content;
  ASSERT_FALSE(Build(CategoryKind::kMessages, true, &content));
  EXPECT_NE(content.find("<p><span>From:</span>Ann(+4)</p>\r\n"), std::string::npos);
  EXPECT_NE(content.find("<p><span>To:</span>Ann(+4)</p>\r\n"), std::string::npos);
  EXPECT_NE(content.find("&lt;script&gt;x&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(content.find("<script>"), std::string::npos);

  std::string chats;
  ASSERT_FALSE(Build(CategoryKind::kWhatsApp, false, &chats));
  EXPECT_NE(chats.find("<p>Me (2024-02-02 10:00:00): hi &amp; bye</p></div>\r\n"), std::string::npos);

  std::atomic<bool> cancel{true};
  std::string cancelled;
  EXPECT_EQ(Build(CategoryKind::kMessages, false, &cancelled, &cancel), kCancelled);
  EXPECT_EQ(Build(CategoryKind::kCameraRoll, false, &cancelled), kNothingToPrint);

  const std::string page = (m_dir / "page").string();
  ASSERT_FALSE(WritePrintPage((m_templates / "Print.html").string(), content + chats, page));
  EXPECT_EQ(testing::CheckHtml(Read(page)), "");
}

}  // namespace
}  // namespace scrivel
