// Geometry values of the view toolkit: sizes, points, rectangles, insets,
// edge sets, alignments and size proposals, all in points.
// Plain values: copy freely, safe on any thread.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace platform::ui {

// "As much as there is": a flexible frame's max, a proposal asking for the maximum.
inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  Point origin;
  Size size;

  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct EdgeInsets {
  double top = 0, leading = 0, bottom = 0, trailing = 0;
  friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// A set of edges, e.g. `EdgeSet::top | EdgeSet::bottom`.
enum class EdgeSet : std::uint8_t {
  top = 1,
  leading = 2,
  bottom = 4,
  trailing = 8,
  horizontal = 2 | 8,
  vertical = 1 | 4,
  all = 15,
};
constexpr EdgeSet operator|(EdgeSet a, EdgeSet b) {
  return static_cast<EdgeSet>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
constexpr bool contains(EdgeSet set, EdgeSet edges) {
  return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(edges)) ==
         static_cast<std::uint8_t>(edges);
}

enum class HorizontalAlignment { leading, center, trailing };
enum class VerticalAlignment { top, center, bottom };

// Where a child sits inside a larger frame; `Alignment::leading` is the
// left edge, centred vertically.
struct Alignment {
  using H = HorizontalAlignment;
  using V = VerticalAlignment;
  H horizontal = H::center;
  V vertical = V::center;

  static const Alignment center, leading, trailing, top, bottom, topLeading, topTrailing,
      bottomLeading, bottomTrailing;

  friend bool operator==(const Alignment&, const Alignment&) = default;
};
inline constexpr Alignment Alignment::center{H::center, V::center};
inline constexpr Alignment Alignment::leading{H::leading, V::center};
inline constexpr Alignment Alignment::trailing{H::trailing, V::center};
inline constexpr Alignment Alignment::top{H::center, V::top};
inline constexpr Alignment Alignment::bottom{H::center, V::bottom};
inline constexpr Alignment Alignment::topLeading{H::leading, V::top};
inline constexpr Alignment Alignment::topTrailing{H::trailing, V::top};
inline constexpr Alignment Alignment::bottomLeading{H::leading, V::bottom};
inline constexpr Alignment Alignment::bottomTrailing{H::trailing, V::bottom};

// What a parent offers a child. A missing dimension asks for the child's
// ideal size on that axis; 0 asks for its minimum, kInfinity for its maximum.
struct ProposedSize {
  std::optional<double> width = std::nullopt;
  std::optional<double> height = std::nullopt;

  static ProposedSize unspecified() { return {}; }
  static ProposedSize from(Size size) { return {size.width, size.height}; }
  friend bool operator==(const ProposedSize&, const ProposedSize&) = default;
};

}  // namespace platform::ui
