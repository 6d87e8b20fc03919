// Answering one request of the widget host: find the widget, ask its
// provider, wait for the answer, and write the response and the drawings.
// Internal to the bundle entry; the command line fills RequestOptions.
#pragma once

#include <string>
#include <vector>

#include "platform/widgetkit/bundle_entry.h"

namespace platform::widgetkit {

struct RequestOptions {
  std::string kind;
  std::string appearance = "light";
  std::string jsonPath;
  std::string pngPath;
  std::string svgPath;
  double scale = 3;
  double deadlineSeconds = 30;
};

// `request` is "placeholder", "snapshot" or "timeline"; returns the exit
// status.
int answerRequest(const WidgetBundle& bundle, const std::vector<WidgetConfiguration>& widgets,
                  const std::string& request, const RequestOptions& options);

}  // namespace platform::widgetkit
