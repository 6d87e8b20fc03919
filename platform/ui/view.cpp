#include "platform/ui/view.h"

#include <ostream>

namespace platform::ui {

View makeView(ViewNode node) { return View(std::make_shared<const ViewNode>(std::move(node))); }

View::View() : node_(std::make_shared<const ViewNode>()) {}

View::View(const Color& color)
    : node_(std::make_shared<const ViewNode>(ViewNode{ColorNode{color}, {}})) {}

View View::font(const Font& font) const { return withModifier(FontModifier{font}); }

View View::padding(const EdgeInsets& insets, EdgeSet edges) const {
  return withModifier(_PaddingLayout{insets, edges});
}

View View::padding(double length, EdgeSet edges) const {
  return padding(EdgeInsets{length, length, length, length}, edges);
}

View View::frame(std::optional<double> width, std::optional<double> height,
                 Alignment alignment) const {
  return withModifier(_FrameLayout{width, height, alignment});
}

View View::frame(const _FrameLayout& frame) const { return withModifier(frame); }

View View::frame(const _FlexFrameLayout& frame) const { return withModifier(frame); }

View View::aspectRatio(std::optional<double> ratio, ContentMode contentMode) const {
  return withModifier(_AspectRatioLayout{ratio, contentMode});
}

View View::fixedSize(bool horizontal, bool vertical) const {
  return withModifier(_FixedSizeLayout{horizontal, vertical});
}

View View::background(const Color& color) const {
  return withModifier(_BackgroundStyleModifier{color});
}

View View::background(const View& background, Alignment alignment) const {
  return withModifier(_BackgroundModifier{background, alignment});
}

View View::clipShape(const RoundedRectangle& shape) const {
  return withModifier(_ClipEffect{shape});
}

View View::foregroundColor(const Color& color) const {
  return withModifier(ForegroundColorModifier{color});
}

View View::lineLimit(std::optional<int> limit) const {
  return withModifier(LineLimitModifier{limit});
}

View View::minimumScaleFactor(double factor) const {
  return withModifier(MinimumScaleFactorModifier{factor});
}

View View::multilineTextAlignment(TextAlignment alignment) const {
  return withModifier(MultilineTextAlignmentModifier{alignment});
}

View View::widgetURL(std::string url) const {
  return withModifier(WidgetURLModifier{std::move(url)});
}

View View::containerBackground(const View& content, Alignment alignment,
                               ContainerBackgroundPlacement placement) const {
  return withModifier(ContainerBackgroundModifier{content, alignment, placement});
}

VStack::VStack(HorizontalAlignment alignment, std::optional<double> spacing,
               std::vector<View> children)
    : View(makeView(ViewNode{StackNode{Axis::vertical, alignment, VerticalAlignment::center,
                                       spacing, std::move(children)},
                             {}})) {}

HStack::HStack(VerticalAlignment alignment, std::optional<double> spacing,
               std::vector<View> children)
    : View(makeView(ViewNode{StackNode{Axis::horizontal, HorizontalAlignment::center, alignment,
                                       spacing, std::move(children)},
                             {}})) {}

Spacer::Spacer(std::optional<double> minLength)
    : View(makeView(ViewNode{SpacerNode{minLength}, {}})) {}

ConditionalContent::ConditionalContent(bool first, View content)
    : View(makeView(ViewNode{ConditionalNode{first, std::move(content)}, {}})) {}

}  // namespace platform::ui
