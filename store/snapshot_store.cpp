#include "store/snapshot_store.h"

#include <chrono>

#include "platform/foundation/debug_print.h"
#include "platform/foundation/user_defaults.h"
#include "store/shared_realm_configuration.h"

namespace quorvel {

using platform::foundation::debugPrint;
using platform::foundation::UserDefaults;

namespace {

// A save runs while the widget host waits for the answer. A suite another
// process holds longer than this keeps its old snapshot (the suite logs the
// failure) rather than making the answer late; the next refresh saves again.
constexpr std::chrono::milliseconds kSaveLockTimeout{1000};

}  // namespace

void savePortfolioWidget(double todayBalance, double yesterdayBalance) {
  auto shared = UserDefaults::suite(appGroupIdentifier);
  if (!shared) return;
  const UserDefaults suite(shared->file(), kSaveLockTimeout);
  auto json = encodeJSON(PortfolioWidget{todayBalance, yesterdayBalance});
  if (!json.ok()) {
    debugPrint("Unable to Encode Configs (" + json.status.localizedDescription() + ")");
    return;
  }
  UserDefaults::Data bytes(json.value->begin(), json.value->end());
  // Balances that did not change are not written again: no fsync, no
  // rename, and the host sees no change to the suite.
  if (suite.data(kPortfolioWidgetKey) == bytes) return;
  // A failed write is reported by the suite itself; the caller's entry
  // still carries the balances.
  suite.set(kPortfolioWidgetKey, bytes);
}

std::optional<PortfolioWidget> loadPortfolioWidget() {
  auto suite = UserDefaults::suite(appGroupIdentifier);
  if (!suite) return std::nullopt;
  auto bytes = suite->data(kPortfolioWidgetKey);
  if (!bytes) return std::nullopt;
  auto snapshot = decodePortfolioWidget(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  if (!snapshot.ok()) {
    debugPrint("Unable to Decode Configs (" + snapshot.status.localizedDescription() + ")");
    return std::nullopt;
  }
  return snapshot.value;
}

}  // namespace quorvel
