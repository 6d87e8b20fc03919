// The widget extension: hands the process to the host's bundle entry.
#include "platform/foundation/output_file.h"
#include "platform/widgetkit/bundle_entry.h"
#include "widgets/quorvel_widgets.h"

int main(int argc, char** argv) {
  return platform::foundation::finishStandardOutput(
      platform::widgetkit::runWidgetBundle(quorvel::QuorvelWidgets{}, argc, argv),
      "QuorvelWidgetsExtension");
}
