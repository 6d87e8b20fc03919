// QuorvelProvider: answers the widget host's placeholder, snapshot and
// timeline requests for both widgets with QuorvelSimpleEntry values.
//
// A provider holds no state; any number may exist. placeholder and
// getSnapshot answer on the calling thread before returning; getTimeline
// answers later, on the main queue, exactly once.
#pragma once

#include <chrono>
#include <optional>

#include "model/quorvel_simple_entry.h"
#include "platform/widgetkit/timeline.h"
#include "store/portfolio.h"

namespace quorvel {

class QuorvelProvider : public platform::widgetkit::TimelineProvider<QuorvelSimpleEntry> {
 public:
  using Context = platform::widgetkit::TimelineProviderContext;
  using Timeline = platform::widgetkit::Timeline<QuorvelSimpleEntry>;

  QuorvelSimpleEntry placeholder(const Context& context) const override;
  void getSnapshot(const Context& context,
                   std::function<void(QuorvelSimpleEntry)> completion) const override;
  void getTimeline(const Context& context, std::function<void(Timeline)> completion) const override;
};

// The two balances of a list of holding lines, summed in list order.
PortfolioWidget sumBalances(const std::vector<Portfolio>& lines);

}  // namespace quorvel
