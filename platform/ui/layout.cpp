#include "platform/ui/layout.h"

#include <cmath>

#include "platform/ui/layout_engine.h"

namespace platform::ui {
namespace {

void collect(const PlacedView& node, const std::string& type, std::vector<const PlacedView*>& out) {
  if (node.type == type) out.push_back(&node);
  for (const PlacedView& child : node.children) collect(child, type, out);
}

}  // namespace

namespace detail {

// Lays the root out in `area`: proposed its size, centred in it.
void layoutRoot(Element& root, const Rect& area) {
  const ProposedSize proposal = ProposedSize::from(area.size);
  const Size size = root.sizeThatFits(proposal);
  Point origin{area.origin.x + (area.size.width - size.width) / 2,
               area.origin.y + (area.size.height - size.height) / 2};
  if (!std::isfinite(origin.x)) origin.x = area.origin.x;
  if (!std::isfinite(origin.y)) origin.y = area.origin.y;
  root.place(origin, proposal);
}

}  // namespace detail

PlacedView layoutView(const View& root, Size size) {
  if (!std::isfinite(size.width) || size.width < 0) size.width = 0;
  if (!std::isfinite(size.height) || size.height < 0) size.height = 0;
  detail::ElementTree tree = detail::buildElementTree(root);
  detail::layoutRoot(*tree.root, Rect{{0, 0}, size});
  return tree.root->describe();
}

std::vector<const PlacedView*> findPlaced(const PlacedView& root, const std::string& type) {
  std::vector<const PlacedView*> out;
  collect(root, type, out);
  return out;
}

}  // namespace platform::ui
