#include "core/results/sort_orders.h"

namespace scrivel {

void SortCallHistory(std::vector<apps::CallItem>& calls) {
  // Dates are "YYYY-MM-DD hh:mm:ss" texts, so comparing them as text orders
  // them in time.
  std::stable_sort(calls.begin(), calls.end(),
                   [](const apps::CallItem& a, const apps::CallItem& b) { return a.date > b.date; });
  SortDeletedFirst(calls);
}

}  // namespace scrivel
