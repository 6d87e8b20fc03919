// The two widget roots: QuorvelWidgetsEntrySmallView and
// QuorvelWidgetsEntryMediumView. Each is a plain value of an entry and the
// deep link; its body is rebuilt from them on every evaluation (the theme
// is read afresh) and holds no state. With balances they show the balance
// and its 24-hour change; without, an invitation to add a portfolio. Both
// attach the deep link to the whole widget. Bodies may be built on any
// thread.
#pragma once

#include <string>

#include "model/quorvel_simple_entry.h"
#include "platform/ui/view.h"

namespace quorvel {

struct QuorvelWidgetsEntrySmallView {
  QuorvelSimpleEntry entry;
  std::string deeplinkURL;
  platform::ui::View body() const;
};

struct QuorvelWidgetsEntryMediumView {
  QuorvelSimpleEntry entry;
  std::string deeplinkURL;
  platform::ui::View body() const;
};

}  // namespace quorvel
