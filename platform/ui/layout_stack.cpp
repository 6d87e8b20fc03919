// The stack: children along one axis, space shared by flexibility. The
// least flexible child is sized first; within equal flexibility, infinitely
// flexible children with the larger minimum go first; spacers (lowest
// priority) share what is left, each keeping its minimum.
#include <algorithm>
#include <cmath>

#include "platform/ui/layout_elements.h"

namespace platform::ui::detail {
namespace {

double subtractFrom(double remaining, double used) {
  if (std::isinf(remaining)) return remaining;
  const double left = remaining - used;
  return std::isnan(left) ? 0 : left;
}

double alignmentFactor(HorizontalAlignment a) {
  return a == HorizontalAlignment::leading ? 0 : a == HorizontalAlignment::center ? 0.5 : 1;
}

double alignmentFactor(VerticalAlignment a) {
  return a == VerticalAlignment::top ? 0 : a == VerticalAlignment::center ? 0.5 : 1;
}

}  // namespace

StackElement::StackElement(Axis axis, HorizontalAlignment horizontal, VerticalAlignment vertical,
                           double spacing, std::vector<std::unique_ptr<Element>> children)
    : axis_(axis),
      horizontal_(horizontal),
      vertical_(vertical),
      spacing_(spacing),
      children_(std::move(children)) {}

std::vector<StackElement::ChildLayout> StackElement::arrange(ProposedSize proposal) {
  const bool horizontal = axis_ == Axis::horizontal;
  auto major = [&](Size s) { return horizontal ? s.width : s.height; };
  auto offer = [&](std::optional<double> length) {
    return horizontal ? ProposedSize{length, proposal.height}
                      : ProposedSize{proposal.width, length};
  };
  std::vector<ChildLayout> out(children_.size());
  std::vector<std::size_t> visible;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (!children_[i]->isEmpty()) visible.push_back(i);
  }
  const std::optional<double> offered = horizontal ? proposal.width : proposal.height;
  if (!offered) {
    for (std::size_t i : visible) {
      out[i] = {offer(std::nullopt), children_[i]->sizeThatFits(offer(std::nullopt))};
    }
    return out;
  }

  struct Flexibility {
    std::size_t index;
    double priority;
    double minimum;
    double flexibility;
  };
  std::vector<Flexibility> order;
  for (std::size_t i : visible) {
    const double minimum = major(children_[i]->sizeThatFits(offer(0.0)));
    const double maximum = major(children_[i]->sizeThatFits(offer(kInfinity)));
    const double flexibility = std::isinf(maximum) ? kInfinity : std::max(0.0, maximum - minimum);
    order.push_back({i, children_[i]->layoutPriority(), minimum, flexibility});
  }
  std::stable_sort(order.begin(), order.end(), [](const Flexibility& a, const Flexibility& b) {
    if (a.priority != b.priority) return a.priority > b.priority;
    if (a.flexibility != b.flexibility) return a.flexibility < b.flexibility;
    if (std::isinf(a.flexibility)) return a.minimum > b.minimum;
    return false;
  });

  const double gaps = visible.size() > 1 ? spacing_ * static_cast<double>(visible.size() - 1) : 0;
  double remaining = subtractFrom(*offered, gaps);
  // Every group after the first keeps its minimums aside until its turn.
  for (const Flexibility& f : order) {
    if (f.priority < order.front().priority) remaining = subtractFrom(remaining, f.minimum);
  }
  std::size_t groupStart = 0;
  while (groupStart < order.size()) {
    std::size_t groupEnd = groupStart;
    while (groupEnd < order.size() && order[groupEnd].priority == order[groupStart].priority) {
      ++groupEnd;
    }
    if (groupStart > 0) {
      for (std::size_t k = groupStart; k < groupEnd; ++k) {
        remaining = subtractFrom(remaining, -order[k].minimum);
      }
    }
    for (std::size_t k = groupStart; k < groupEnd; ++k) {
      const double share = std::max(0.0, remaining / static_cast<double>(groupEnd - k));
      const ProposedSize childProposal = offer(share);
      const Size size = children_[order[k].index]->sizeThatFits(childProposal);
      out[order[k].index] = {childProposal, size};
      remaining = subtractFrom(remaining, major(size));
    }
    groupStart = groupEnd;
  }
  return out;
}

Size StackElement::computeSize(ProposedSize proposal) {
  const std::vector<ChildLayout> layout = arrange(proposal);
  const bool horizontal = axis_ == Axis::horizontal;
  double majorTotal = 0;
  double minorMax = 0;
  int visible = 0;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (children_[i]->isEmpty()) continue;
    ++visible;
    majorTotal += horizontal ? layout[i].size.width : layout[i].size.height;
    minorMax = std::max(minorMax, horizontal ? layout[i].size.height : layout[i].size.width);
  }
  if (visible > 1) majorTotal += spacing_ * (visible - 1);
  return horizontal ? Size{majorTotal, minorMax} : Size{minorMax, majorTotal};
}

void StackElement::placeChildren(ProposedSize proposal) {
  const std::vector<ChildLayout> layout = arrange(proposal);
  const bool horizontal = axis_ == Axis::horizontal;
  double cursor = horizontal ? frame_.origin.x : frame_.origin.y;
  bool first = true;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (children_[i]->isEmpty()) {
      children_[i]->place(frame_.origin, ProposedSize{0.0, 0.0});
      continue;
    }
    if (!first) cursor += spacing_;
    first = false;
    const Size size = layout[i].size;
    Point origin;
    if (horizontal) {
      origin = {cursor,
                frame_.origin.y + (frame_.size.height - size.height) * alignmentFactor(vertical_)};
      cursor += size.width;
    } else {
      origin = {frame_.origin.x + (frame_.size.width - size.width) * alignmentFactor(horizontal_),
                cursor};
      cursor += size.height;
    }
    children_[i]->place(origin, layout[i].proposal);
  }
}

void StackElement::draw(const DrawContext& context) const {
  for (const auto& child : children_) child->draw(context);
}

PlacedView StackElement::describe() const {
  PlacedView out = describeAs(axis_ == Axis::horizontal ? "HStack" : "VStack");
  for (const auto& child : children_) out.children.push_back(child->describe());
  return out;
}

}  // namespace platform::ui::detail
