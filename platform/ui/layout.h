// Layout: where every part of a view tree lands when the root is offered a
// size. The parent proposes a size, the child chooses its own, the parent
// places it; stacks share their space by flexibility, spacers last. The root
// is proposed `size` and, if it answers another size, is centred in it.
// Text is measured with Pango in the renderer's fonts (Inter, then DejaVu
// Sans), so the first call on a thread sets fonts up for that thread.
// Thread rule: any thread; calls share nothing but the per-thread font map.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/geometry.h"
#include "platform/ui/view.h"

namespace platform::ui {

// One placed box: a primitive, or a layout modifier wrapping the boxes below
// it. Frames are in points, in the root's coordinate space (0,0 = the top left
// of the area the root was offered).
struct PlacedView {
  // "VStack", "HStack", "Spacer", "Text", "Image", "Color", "EmptyView", or
  // the modifier that made the box: "padding", "frame", "flexFrame",
  // "aspectRatio", "fixedSize", "background", "clip".
  std::string type;
  Rect frame;
  std::vector<PlacedView> children;

  // Text only: what is drawn after shrinking and truncation (empty when not
  // even an ellipsis fits), the drawn font size over the requested one, the
  // number of lines drawn, and whether an ellipsis replaced the end.
  std::string text;
  double fontScale = 1;
  int lineCount = 0;
  bool truncated = false;
};

PlacedView layoutView(const View& root, Size size);

// Depth-first search of a placed tree: the boxes of `type`, in drawing order.
// The pointers point into `root` and are valid while it lives.
std::vector<const PlacedView*> findPlaced(const PlacedView& root, const std::string& type);

}  // namespace platform::ui
