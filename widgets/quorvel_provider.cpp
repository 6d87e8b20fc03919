#include "widgets/quorvel_provider.h"

#include "platform/foundation/debug_print.h"
#include "widgets/widget_managers.h"

namespace quorvel {

using platform::widgetkit::TimelineReloadPolicy;

PortfolioWidget sumBalances(const std::vector<Portfolio>& lines) {
  double today = 0;
  double yesterday = 0;
  for (const Portfolio& line : lines) {
    today += line.amount * line.price;
    // priceChange is the change over the last 24 hours, so the price a day
    // ago is the current price less the change.
    yesterday += line.amount * (line.price - line.priceChange);
  }
  return PortfolioWidget{today, yesterday};
}

QuorvelSimpleEntry QuorvelProvider::placeholder(const Context&) const {
  return QuorvelSimpleEntry{std::chrono::system_clock::now(), std::nullopt};
}

void QuorvelProvider::getSnapshot(const Context&,
                                  std::function<void(QuorvelSimpleEntry)> completion) const {
  WidgetManagers& managers = WidgetManagers::shared();
  auto portfolio = managers.loadPortfolioWidget();
  completion(QuorvelSimpleEntry{std::chrono::system_clock::now(), portfolio});
}

void QuorvelProvider::getTimeline(const Context&, std::function<void(Timeline)> completion) const {
  WidgetManagers::shared().refreshPortfolio([completion = std::move(completion)](
                                                platform::foundation::Result<std::vector<Portfolio>>
                                                    outcome) {
    const auto now = std::chrono::system_clock::now();
    if (!outcome.ok()) {
      platform::foundation::debugPrint("Error price change statistics: " +
                                       outcome.status.localizedDescription());
      completion(Timeline{{QuorvelSimpleEntry{now, std::nullopt}}, TimelineReloadPolicy::atEnd()});
      return;
    }
    if (outcome.value->empty()) {
      completion(Timeline{{QuorvelSimpleEntry{now, std::nullopt}}, TimelineReloadPolicy::never()});
      return;
    }
    const PortfolioWidget balances = sumBalances(*outcome.value);
    WidgetManagers::shared().savePortfolioWidget(balances.todayBalance, balances.yesterdayBalance);
    completion(Timeline{{QuorvelSimpleEntry{now, balances}}, TimelineReloadPolicy::atEnd()});
  });
}

}  // namespace quorvel
