// The print page of one category: a block per checked record (for Messages
// and WhatsApp, per message of each checked conversation or chat) placed
// into the print template, every value escaped. The desktop print window
// builds it on its worker and shows the written page.
#pragma once

#include <system_error>

#include <atomic>
#include <string>

#include "core/common/result_codes.h"
#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"
#include "core/results/scan_categories.h"
#include "core/results/statistics_obj.h"

namespace scrivel {

// Result of BuildPrintContent when there is nothing of that category to print
// (a category without a print page, or missing inputs): the wrong kind of input.
inline constexpr ResultCode kNothingToPrint = kBadFile;

struct PrintRequest {
  CategoryKind kind = CategoryKind::kNone;  // Messages, Contacts, Call History, Notes or WhatsApp
  bool deletedOnly = false;                 // the category's deleted-only filter is on
  const CStatisticsObj* statistics = nullptr;  // which rows are checked
  const ScanResults* results = nullptr;
  const ConversationRows* rows = nullptr;
  const std::atomic<bool>* cancelled = nullptr;  // checked before every record; may be null
};

// Appends the blocks of the rows that are checked (and deleted, when
// deletedOnly) to *content, in list order. Returns success; kCancelled when the
// cancel flag was set (content then holds what was built); kNothingToPrint
// for another kind, missing inputs, or WhatsApp without chats.
[[nodiscard]] std::error_code BuildPrintContent(const PrintRequest& request, std::string* content);

// Writes the template at templatePath with `content` in place of its
// "{|content|}" to pagePath. A missing template leaves the page as the
// content alone. Returns success or the system's error code.
[[nodiscard]] std::error_code WritePrintPage(const std::string& templatePath, const std::string& content,
                                 const std::string& pagePath);

}  // namespace scrivel
