#include "views/widget_primitives.h"

#include <mutex>

#include "resources/main_bundle.h"

namespace quorvel {

using namespace platform::ui;

View clearWidgetBackground(const View& content) {
  return content.containerBackground(View(Color::clear()), Alignment::center);
}

void ensureMainBundle() {
  static std::once_flag once;
  std::call_once(once, registerMainBundleResources);
}

}  // namespace quorvel
