#include "core/results/sort_orders.h"

namespace scrivel {

void SortCallHistory(std::vector<sqlite_recovery::CallItem>& calls) {
  // Dates are "YYYY-MM-DD hh:mm:ss" texts, so comparing them as text orders
  // them in time.
  std::stable_sort(calls.begin(), calls.end(),
                   [](const sqlite_recovery::CallItem& a, const sqlite_recovery::CallItem& b) { return a.date > b.date; });
  SortDeletedFirst(calls);
}

}  // namespace scrivel
