// Image: a platform symbol by name (`Image::systemName("plus.circle.fill")`)
// or an image asset of the main bundle by name (`Image("app-icon")`),
// drawn in its natural size unless made `resizable`, which stretches it to
// whatever it is offered. A symbol is drawn in the foreground colour.
// A missing asset or an unknown symbol takes its place but draws nothing.
// Plain value like every View: copy freely, build on any thread.
#pragma once

#include <string>

#include "platform/ui/view.h"

namespace platform::ui {

class Image : public View {
 public:
  // Image(name): the asset `name` of the main bundle (see image_assets.h).
  explicit Image(std::string name);
  // Image(systemName:): a platform symbol. Known: "plus.circle.fill".
  static Image systemName(std::string name);

  Image resizable(const EdgeInsets& capInsets = {},
                  ResizingMode resizingMode = ResizingMode::stretch) const;

 private:
  explicit Image(ImageNode node);
};

}  // namespace platform::ui
