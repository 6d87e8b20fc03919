// Turns a view tree into layout elements. Environment values (font,
// foreground colour, line limit, scale factor, text alignment) flow down;
// the innermost setting wins. Every number from the view is made usable
// here, so the elements never see NaN, a negative length or a bad ratio.
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/ui/layout_elements.h"

namespace platform::ui::detail {
namespace {

constexpr double kDefaultSpacing = 8;
constexpr double kDefaultSpacerLength = 8;
constexpr double kLengthLimit = 1e5;  // points; anything larger is absurd for a widget
constexpr double kSmallestScaleFactor = 0.01;
// A symbol is a little taller than the text it sits in.
constexpr double kSymbolEm = 1.2;

struct Environment {
  std::optional<Font> font;
  std::optional<Color> foregroundColor;
  std::optional<int> lineLimit;
  double minimumScaleFactor = 1;
  TextAlignment alignment = TextAlignment::leading;
};

struct BuildState {
  const ContainerBackgroundModifier* containerBackground = nullptr;
  Environment containerEnvironment;
};

// What a Text draws in when nothing sets a colour: black on light, white on dark.
const Color kPrimaryLabel = Color::dynamic(Color::black(), Color::white());

double length(double value, double fallback = 0) {
  if (std::isnan(value)) return fallback;
  return std::clamp(value, -kLengthLimit, kLengthLimit);
}

// A frame or flex-frame dimension: NaN or infinite means not given (a max
// may be infinite), negative means 0.
std::optional<double> dimension(std::optional<double> value, bool infinityAllowed = false) {
  if (!value || std::isnan(*value)) return std::nullopt;
  if (std::isinf(*value)) {
    if (infinityAllowed && *value > 0) return kInfinity;
    return std::nullopt;
  }
  return std::clamp(*value, 0.0, kLengthLimit);
}

EdgeInsets insets(const _PaddingLayout& padding) {
  EdgeInsets in;
  if (contains(padding.edges, EdgeSet::top)) in.top = length(padding.insets.top);
  if (contains(padding.edges, EdgeSet::leading)) in.leading = length(padding.insets.leading);
  if (contains(padding.edges, EdgeSet::bottom)) in.bottom = length(padding.insets.bottom);
  if (contains(padding.edges, EdgeSet::trailing)) in.trailing = length(padding.insets.trailing);
  return in;
}

std::unique_ptr<Element> build(const View& view, const Environment& env, std::optional<Axis> axis,
                               BuildState& state);

std::unique_ptr<Element> buildContent(const ViewContent& content, const Environment& env,
                                      std::optional<Axis> axis, BuildState& state) {
  if (const auto* stack = std::get_if<StackNode>(&content)) {
    std::vector<std::unique_ptr<Element>> children;
    for (const View& child : stack->children)
      children.push_back(build(child, env, stack->axis, state));
    double spacing = kDefaultSpacing;
    if (stack->spacing && std::isfinite(*stack->spacing)) spacing = length(*stack->spacing);
    return std::make_unique<StackElement>(stack->axis, stack->horizontalAlignment,
                                          stack->verticalAlignment, spacing, std::move(children));
  }
  if (const auto* spacer = std::get_if<SpacerNode>(&content)) {
    double minLength = kDefaultSpacerLength;
    if (spacer->minLength && std::isfinite(*spacer->minLength)) {
      minLength = std::clamp(*spacer->minLength, 0.0, kLengthLimit);
    }
    return std::make_unique<SpacerElement>(minLength, axis);
  }
  if (const auto* text = std::get_if<TextNode>(&content)) {
    std::vector<StyledRun> runs;
    for (const TextRun& run : text->runs) {
      runs.push_back(
          StyledRun{run.text, run.font.value_or(env.font.value_or(Font::body())),
                    run.foregroundColor.value_or(env.foregroundColor.value_or(kPrimaryLabel))});
    }
    TextStyle style{env.lineLimit, env.minimumScaleFactor, env.alignment};
    return std::make_unique<TextElement>(prepareRuns(std::move(runs)), style);
  }
  if (const auto* image = std::get_if<ImageNode>(&content)) {
    double symbolSize = env.font.value_or(Font::body()).size();
    if (!std::isfinite(symbolSize) || symbolSize <= 0) symbolSize = Font::body().size();
    return std::make_unique<ImageElement>(*image, env.foregroundColor.value_or(kPrimaryLabel),
                                          std::min(symbolSize * kSymbolEm, kLengthLimit));
  }
  if (const auto* color = std::get_if<ColorNode>(&content)) {
    return std::make_unique<ColorElement>(color->color);
  }
  if (const auto* conditional = std::get_if<ConditionalNode>(&content)) {
    return build(conditional->content, env, axis, state);
  }
  return std::make_unique<EmptyElement>();
}

// The view made of `node`'s content and its first `count` modifiers.
std::unique_ptr<Element> buildModified(const ViewNode& node, std::size_t count,
                                       const Environment& outer, std::optional<Axis> axis,
                                       BuildState& state) {
  if (count == 0) return buildContent(node.content, outer, axis, state);
  const Modifier& modifier = node.modifiers[count - 1];
  auto inner = [&](const Environment& env) {
    return buildModified(node, count - 1, env, axis, state);
  };

  // Environment values: the inner setting wins over the outer one.
  Environment env = outer;
  if (const auto* m = std::get_if<FontModifier>(&modifier)) {
    env.font = m->font;
    return inner(env);
  }
  if (const auto* m = std::get_if<ForegroundColorModifier>(&modifier)) {
    env.foregroundColor = m->color;
    return inner(env);
  }
  if (const auto* m = std::get_if<LineLimitModifier>(&modifier)) {
    env.lineLimit = m->limit && *m->limit >= 1 ? m->limit : std::nullopt;
    return inner(env);
  }
  if (const auto* m = std::get_if<MinimumScaleFactorModifier>(&modifier)) {
    env.minimumScaleFactor =
        std::isnan(m->factor) ? 1 : std::clamp(m->factor, kSmallestScaleFactor, 1.0);
    return inner(env);
  }
  if (const auto* m = std::get_if<MultilineTextAlignmentModifier>(&modifier)) {
    env.alignment = m->alignment;
    return inner(env);
  }
  if (std::holds_alternative<WidgetURLModifier>(modifier)) return inner(env);
  if (const auto* m = std::get_if<ContainerBackgroundModifier>(&modifier)) {
    // Modifiers are visited outermost first: keep the first one seen.
    if (state.containerBackground == nullptr) {
      state.containerBackground = m;
      state.containerEnvironment = env;
    }
    return inner(env);
  }

  // Layout modifiers wrap what is inside them.
  if (const auto* m = std::get_if<_PaddingLayout>(&modifier)) {
    return makeModifierElement(_PaddingLayout{insets(*m)}, inner(env));
  }
  if (const auto* m = std::get_if<_FrameLayout>(&modifier)) {
    return makeModifierElement(
        _FrameLayout{dimension(m->width), dimension(m->height), m->alignment}, inner(env));
  }
  if (const auto* m = std::get_if<_FlexFrameLayout>(&modifier)) {
    _FlexFrameLayout flex{dimension(m->minWidth),
                          dimension(m->idealWidth),
                          dimension(m->maxWidth, true),
                          dimension(m->minHeight),
                          dimension(m->idealHeight),
                          dimension(m->maxHeight, true),
                          m->alignment};
    if (flex.minWidth && flex.maxWidth && *flex.maxWidth < *flex.minWidth)
      flex.maxWidth = flex.minWidth;
    if (flex.minHeight && flex.maxHeight && *flex.maxHeight < *flex.minHeight) {
      flex.maxHeight = flex.minHeight;
    }
    return makeModifierElement(flex, inner(env));
  }
  if (const auto* m = std::get_if<_AspectRatioLayout>(&modifier)) {
    std::optional<double> ratio = m->aspectRatio;
    if (ratio && (!std::isfinite(*ratio) || *ratio <= 0)) ratio.reset();
    return makeModifierElement(_AspectRatioLayout{ratio, m->contentMode}, inner(env));
  }
  if (const auto* m = std::get_if<_BackgroundModifier>(&modifier)) {
    auto background = build(m->background, env, std::nullopt, state);
    return std::make_unique<BackgroundViewElement>(std::move(background), m->alignment, inner(env));
  }
  if (const auto* m = std::get_if<_ClipEffect>(&modifier)) {
    RoundedRectangle shape = m->shape;
    if (!std::isfinite(shape.cornerRadius) || shape.cornerRadius < 0) shape.cornerRadius = 0;
    return makeModifierElement(_ClipEffect{shape}, inner(env));
  }
  return makeModifierElement(modifier, inner(env));
}

std::unique_ptr<Element> build(const View& view, const Environment& env, std::optional<Axis> axis,
                               BuildState& state) {
  const ViewNode& node = view.node();
  return buildModified(node, node.modifiers.size(), env, axis, state);
}

}  // namespace

ElementTree buildElementTree(const View& view) {
  BuildState state;
  ElementTree tree;
  tree.root = build(view, Environment{}, std::nullopt, state);
  if (state.containerBackground != nullptr) {
    BuildState nested;
    tree.containerBackground =
        build(state.containerBackground->content, state.containerEnvironment, std::nullopt, nested);
    tree.containerAlignment = state.containerBackground->alignment;
  }
  return tree;
}

}  // namespace platform::ui::detail
