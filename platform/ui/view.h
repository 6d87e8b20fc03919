// View: the toolkit's view tree as plain values. A View is a handle to an
// immutable node (its content plus the modifiers applied to it, innermost
// first); every modifier returns a changed copy and mutates nothing, so views
// are cheap to copy, rebuilt on every evaluation, hold no state, and may be
// built, read and dropped on any thread. Children are shared, never copied.
//
//   View v = VStack(HorizontalAlignment::leading, 10, {
//                Spacer(),
//                Text(LocalizedStringKey("balance_caption"))
//                    .font(Font::system(14, Font::Weight::semibold)),
//            })
//                .frame(FlexFrame{.maxWidth = kInfinity, .maxHeight = kInfinity,
//                                 .alignment = Alignment::leading})
//                .padding(EdgeInsets{20, 16, 20, 16})
//                .background(Color::white());
//
// Text and Image are in text.h and image.h; dumpView (view_dump.h) writes a
// tree as JSON; layout.h and render.h lay it out and draw it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/geometry.h"

namespace platform::ui {

struct ViewNode;
struct _PaddingLayout;
struct _FrameLayout;
struct _FlexFrameLayout;
struct RoundedRectangle;

enum class ContentMode { fit, fill };
enum class TextAlignment { leading, center, trailing };
enum class RoundedCornerStyle { circular, continuous };
enum class ContainerBackgroundPlacement { widget };

class View {
 public:
  // The empty view: takes no space and draws nothing.
  View();
  // A colour used as a view fills the frame it is offered.
  View(const Color& color);  // NOLINT(google-explicit-constructor): reads like the toolkit

  // What this view is; read by the dump, the layout engine and tests.
  const ViewNode& node() const { return *node_; }

  // Modifiers. Each wraps this view (the first applied is the innermost).
  View font(const Font& font) const;  // for every Text below without a font of its own
  View padding(const EdgeInsets& insets, EdgeSet edges = EdgeSet::all) const;
  View padding(double length, EdgeSet edges = EdgeSet::all) const;
  // Fixed frame: a given dimension is answered exactly; a missing one is the child's.
  View frame(std::optional<double> width, std::optional<double> height,
             Alignment alignment = Alignment::center) const;
  View frame(const _FrameLayout& frame) const;
  // Flexible frame: clamps proposals to [min, max]; a max of kInfinity fills.
  View frame(const _FlexFrameLayout& frame) const;
  // With no ratio the content's own ideal proportions are kept.
  View aspectRatio(std::optional<double> ratio = std::nullopt,
                   ContentMode contentMode = ContentMode::fit) const;
  View fixedSize(bool horizontal = true, bool vertical = true) const;
  // Background colour: fills this view's bounds, behind it.
  View background(const Color& color) const;
  // Background view: proposed this view's size, placed by `alignment`, behind it.
  View background(const View& background, Alignment alignment = Alignment::center) const;
  View clipShape(const RoundedRectangle& shape) const;
  // Environment values for every Text below that does not set its own.
  View foregroundColor(const Color& color) const;
  View lineLimit(std::optional<int> limit) const;  // nullopt: as many lines as needed
  View minimumScaleFactor(double factor) const;    // 0 < factor <= 1
  View multilineTextAlignment(TextAlignment alignment) const;
  // Metadata for the widget host: the URL a tap opens. No layout, no drawing.
  View widgetURL(std::string url) const;
  // The widget's removable background, drawn behind the whole widget.
  View containerBackground(
      const View& content, Alignment alignment = Alignment::center,
      ContainerBackgroundPlacement placement = ContainerBackgroundPlacement::widget) const;

 protected:
  explicit View(std::shared_ptr<const ViewNode> node) : node_(std::move(node)) {}
  template <class M>
  View withModifier(M modifier) const;

 private:
  friend View makeView(ViewNode node);
  std::shared_ptr<const ViewNode> node_;  // never null
};

// ----- Modifier records, in the toolkit's own names. -----

struct RoundedRectangle {
  double cornerRadius = 0;
  RoundedCornerStyle style = RoundedCornerStyle::continuous;
  friend bool operator==(const RoundedRectangle&, const RoundedRectangle&) = default;
};

struct FontModifier {
  Font font = Font::body();
};
struct _PaddingLayout {
  EdgeInsets insets{};
  EdgeSet edges = EdgeSet::all;
};
struct _FrameLayout {
  std::optional<double> width = std::nullopt;
  std::optional<double> height = std::nullopt;
  Alignment alignment = Alignment::center;
};
struct _FlexFrameLayout {
  std::optional<double> minWidth = std::nullopt;
  std::optional<double> idealWidth = std::nullopt;
  std::optional<double> maxWidth = std::nullopt;
  std::optional<double> minHeight = std::nullopt;
  std::optional<double> idealHeight = std::nullopt;
  std::optional<double> maxHeight = std::nullopt;
  Alignment alignment = Alignment::center;
};
using FlexFrame = _FlexFrameLayout;
struct _AspectRatioLayout {
  std::optional<double> aspectRatio = std::nullopt;  // width / height; nullopt keeps the content's
  ContentMode contentMode = ContentMode::fit;
};
struct _FixedSizeLayout {
  bool horizontal = true;
  bool vertical = true;
};
struct _BackgroundStyleModifier {
  Color style = Color::clear();
};
struct _BackgroundModifier {
  View background;
  Alignment alignment = Alignment::center;
};
struct _ClipEffect {
  RoundedRectangle shape{};
};
struct ForegroundColorModifier {
  Color color = Color::clear();
};
struct LineLimitModifier {
  std::optional<int> limit = std::nullopt;
};
struct MinimumScaleFactorModifier {
  double factor = 1;
};
struct MultilineTextAlignmentModifier {
  TextAlignment alignment = TextAlignment::leading;
};
struct WidgetURLModifier {
  std::string url{};
};
struct ContainerBackgroundModifier {
  View content{};
  Alignment alignment = Alignment::center;
  ContainerBackgroundPlacement placement = ContainerBackgroundPlacement::widget;
};

using Modifier =
    std::variant<FontModifier, _PaddingLayout, _FrameLayout, _FlexFrameLayout, _AspectRatioLayout,
                 _FixedSizeLayout, _BackgroundStyleModifier, _BackgroundModifier, _ClipEffect,
                 ForegroundColorModifier, LineLimitModifier, MinimumScaleFactorModifier,
                 MultilineTextAlignmentModifier, WidgetURLModifier, ContainerBackgroundModifier>;

// ----- Node contents. -----

enum class Axis { horizontal, vertical };

struct EmptyNode {};
struct StackNode {
  Axis axis = Axis::vertical;  // vertical: VStack, horizontal: HStack
  HorizontalAlignment horizontalAlignment = HorizontalAlignment::center;  // VStack
  VerticalAlignment verticalAlignment = VerticalAlignment::center;        // HStack
  std::optional<double> spacing = std::nullopt;  // nullopt: the toolkit default between each pair
  std::vector<View> children{};
};
struct SpacerNode {
  std::optional<double> minLength = std::nullopt;  // nullopt: the default 8
};
struct TextRun {
  std::string text{};                             // what is shown, after lookup and interpolation
  std::optional<std::string> key = std::nullopt;  // set for a localized run
  std::vector<std::string> arguments{};
  std::optional<Font> font = std::nullopt;
  std::optional<Color> foregroundColor = std::nullopt;
};
struct TextNode {
  std::vector<TextRun> runs{};
};
enum class ResizingMode { tile, stretch };
struct ResizableImage {
  EdgeInsets capInsets{};
  ResizingMode resizingMode = ResizingMode::stretch;
};
struct ImageNode {
  std::string name{};  // asset name, or symbol name when `system`
  bool system = false;
  std::optional<ResizableImage> resizable = std::nullopt;
};
struct ColorNode {
  Color color = Color::clear();
};
// One branch of an if/else; only the present branch exists.
struct ConditionalNode {
  bool first = true;
  View content{};
};

using ViewContent =
    std::variant<EmptyNode, StackNode, SpacerNode, TextNode, ImageNode, ColorNode, ConditionalNode>;

struct ViewNode {
  ViewContent content{};
  std::vector<Modifier> modifiers{};  // innermost first
};

// A view of `node`; the one way every primitive is made.
View makeView(ViewNode node);

// ----- Containers. -----

// Children stacked top to bottom; `spacing` between every pair (nullopt: the
// toolkit default of 8).
struct VStack : View {
  VStack(HorizontalAlignment alignment, std::optional<double> spacing, std::vector<View> children);
  explicit VStack(std::vector<View> children)
      : VStack(HorizontalAlignment::center, std::nullopt, std::move(children)) {}
};

// Children side by side, leading to trailing.
struct HStack : View {
  HStack(VerticalAlignment alignment, std::optional<double> spacing, std::vector<View> children);
  explicit HStack(std::vector<View> children)
      : HStack(VerticalAlignment::center, std::nullopt, std::move(children)) {}
};

// Takes the free space along its stack's axis (at least `minLength`).
struct Spacer : View {
  explicit Spacer(std::optional<double> minLength = std::nullopt);
};

// A two-way conditional child (`if cond { a } else { b }`): holds only the
// branch that is present. Layout and drawing see just that branch.
struct ConditionalContent : View {
  static ConditionalContent first(View content) {
    return ConditionalContent(true, std::move(content));
  }
  static ConditionalContent second(View content) {
    return ConditionalContent(false, std::move(content));
  }

 private:
  ConditionalContent(bool first, View content);
};

// ----- Inlines. -----

template <class M>
View View::withModifier(M modifier) const {
  ViewNode copy = *node_;
  copy.modifiers.emplace_back(std::move(modifier));
  return makeView(std::move(copy));
}

}  // namespace platform::ui
