// The layout engine behind layout.h and render.h, inside platform/ui only.
// A View is turned into a tree of elements (one per primitive and per layout
// modifier, environment values resolved on the way down); each element
// answers size proposals, is placed by its parent, and draws itself.
// Thread rule: an element tree belongs to one thread; build one per layout.
#pragma once

#include <cairo.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/geometry.h"
#include "platform/ui/layout.h"
#include "platform/ui/view.h"

namespace platform::ui::detail {

struct DrawContext {
  cairo_t* cr = nullptr;
  ColorScheme scheme = ColorScheme::light;
  double pixelScale = 1;  // device pixels per point, for snapping edges; > 0
  // `rect` with its edges moved to the nearest device pixel.
  Rect snapped(const Rect& rect) const;
  // Fills `rect`, snapped, with `color` as the render's scheme resolves it.
  void fill(const Rect& rect, const Color& color) const;
};

class Element {
 public:
  Element() = default;
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;
  virtual ~Element() = default;

  // The size this element picks for `proposal`; never NaN or negative.
  Size sizeThatFits(ProposedSize proposal);
  // Takes the size it picks for `proposal`, with its top left at `origin`,
  // and places its children.
  void place(Point origin, ProposedSize proposal);
  const Rect& frame() const { return frame_; }

  virtual double layoutPriority() const { return 0; }
  // Takes no part in a stack: no size, no spacing.
  virtual bool isEmpty() const { return false; }
  virtual void draw(const DrawContext& context) const = 0;
  virtual PlacedView describe() const = 0;

 protected:
  virtual Size computeSize(ProposedSize proposal) = 0;
  virtual void placeChildren(ProposedSize /*proposal*/) {}
  PlacedView describeAs(const char* type) const;

  Rect frame_;

 private:
  std::vector<std::pair<ProposedSize, Size>> cache_;
};

struct ElementTree {
  std::unique_ptr<Element> root;
  // The outermost containerBackground, drawn behind the whole widget.
  std::unique_ptr<Element> containerBackground;
  Alignment containerAlignment = Alignment::center;
};

ElementTree buildElementTree(const View& view);

}  // namespace platform::ui::detail

namespace platform::ui::detail {

// Where a child of size `child` sits inside `container` by `alignment`.
Point alignedOrigin(const Rect& container, Size child, Alignment alignment);

// Proposes `area`'s size to `root` and places it centred in `area`.
void layoutRoot(Element& root, const Rect& area);

}  // namespace platform::ui::detail
