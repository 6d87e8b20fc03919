#include "platform/ui/layout_elements.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/asset_surface.h"
#include "platform/ui/image_assets.h"
#include "platform/ui/render.h"
#include "platform/ui/shapes.h"

namespace platform::ui::detail {
namespace {

// Drawing coordinates stay well inside what cairo's fixed-point can hold.
constexpr double kDrawLimit = 1e6;
// A colour or shape offered no size on an axis takes this much (the
// toolkit's ideal size for shapes).
constexpr double kShapeIdealLength = 10;
constexpr std::size_t kMaxCachedProposals = 24;

double sane(double value) { return std::isnan(value) || value < 0 ? 0 : value; }

std::optional<double> saneProposal(std::optional<double> value) {
  if (!value || std::isnan(*value)) return std::nullopt;
  return std::max(0.0, *value);
}

double orInfinity(std::optional<double> value) { return value.value_or(kInfinity); }

double alignmentFactor(HorizontalAlignment a) {
  return a == HorizontalAlignment::leading ? 0 : a == HorizontalAlignment::center ? 0.5 : 1;
}

double alignmentFactor(VerticalAlignment a) {
  return a == VerticalAlignment::top ? 0 : a == VerticalAlignment::center ? 0.5 : 1;
}

Rect clampedRect(const Rect& rect) {
  auto clampValue = [](double v) {
    return std::isfinite(v) ? std::clamp(v, -kDrawLimit, kDrawLimit) : 0.0;
  };
  return Rect{{clampValue(rect.origin.x), clampValue(rect.origin.y)},
              {clampValue(rect.size.width), clampValue(rect.size.height)}};
}

}  // namespace

Rect DrawContext::snapped(const Rect& rect) const {
  const Rect r = clampedRect(rect);
  const double s = pixelScale;
  const double x0 = std::round(r.minX() * s) / s;
  const double y0 = std::round(r.minY() * s) / s;
  const double x1 = std::round(r.maxX() * s) / s;
  const double y1 = std::round(r.maxY() * s) / s;
  return Rect{{x0, y0}, {x1 - x0, y1 - y0}};
}

void DrawContext::fill(const Rect& rect, const Color& color) const {
  const Rect r = snapped(rect);
  cairo_rectangle(cr, r.minX(), r.minY(), r.size.width, r.size.height);
  setSourceColor(cr, color.resolve(scheme));
  cairo_fill(cr);
}

Point alignedOrigin(const Rect& container, Size child, Alignment alignment) {
  Point p{container.origin.x +
              (container.size.width - child.width) * alignmentFactor(alignment.horizontal),
          container.origin.y +
              (container.size.height - child.height) * alignmentFactor(alignment.vertical)};
  if (!std::isfinite(p.x)) p.x = container.origin.x;
  if (!std::isfinite(p.y)) p.y = container.origin.y;
  return p;
}

// ----- Element -----

Size Element::sizeThatFits(ProposedSize proposal) {
  proposal = {saneProposal(proposal.width), saneProposal(proposal.height)};
  for (const auto& [key, size] : cache_) {
    if (key == proposal) return size;
  }
  Size size = computeSize(proposal);
  size = {sane(size.width), sane(size.height)};
  if (cache_.size() >= kMaxCachedProposals) cache_.erase(cache_.begin());
  cache_.emplace_back(proposal, size);
  return size;
}

void Element::place(Point origin, ProposedSize proposal) {
  proposal = {saneProposal(proposal.width), saneProposal(proposal.height)};
  frame_ = Rect{origin, sizeThatFits(proposal)};
  placeChildren(proposal);
}

PlacedView Element::describeAs(const char* type) const {
  PlacedView out;
  out.type = type;
  out.frame = frame_;
  return out;
}

PlacedView WrapperElement::describeWrapper(const char* type) const {
  PlacedView out = describeAs(type);
  out.children.push_back(child_->describe());
  return out;
}

// ----- Leaves -----

Size ColorElement::computeSize(ProposedSize proposal) {
  return {proposal.width.value_or(kShapeIdealLength), proposal.height.value_or(kShapeIdealLength)};
}

Size SpacerElement::computeSize(ProposedSize proposal) {
  auto grow = [&](std::optional<double> offered) {
    return std::max(offered.value_or(minLength_), minLength_);
  };
  if (!axis_) return {grow(proposal.width), grow(proposal.height)};
  if (*axis_ == Axis::horizontal) return {grow(proposal.width), 0};
  return {0, grow(proposal.height)};
}

Size TextElement::computeSize(ProposedSize proposal) {
  for (const auto& [key, fit] : fits_) {
    if (key == proposal) return fit.size;
  }
  TextFit fit = fitText(runs_, style_, proposal);
  const Size size = fit.size;
  fits_.emplace_back(proposal, std::move(fit));
  return size;
}

void TextElement::placeChildren(ProposedSize proposal) {
  computeSize(proposal);
  for (const auto& [key, fit] : fits_) {
    if (key == proposal) placed_ = fit;
  }
}

void TextElement::draw(const DrawContext& context) const {
  const Rect r = clampedRect(frame_);
  const double s = context.pixelScale;
  // Whole device pixels for the line origin, as the toolkit rounds frames.
  const Rect origin{{std::round(r.minX() * s) / s, std::round(r.minY() * s) / s}, r.size};
  drawText(context.cr, placed_, style_, origin, context.scheme);
}

PlacedView TextElement::describe() const {
  PlacedView out = describeAs("Text");
  out.text = placed_.shownText;
  out.fontScale = placed_.scale;
  out.lineCount = placed_.lineCount;
  out.truncated = placed_.truncated;
  return out;
}

ImageElement::ImageElement(ImageNode image, Color foreground, double symbolSize)
    : image_(std::move(image)), foreground_(foreground) {
  if (image_.system) {
    natural_ = isKnownSymbol(image_.name) ? Size{symbolSize, symbolSize} : Size{};
  } else if (std::optional<Size> size = imageAssetSize(image_.name)) {
    natural_ = *size;
  }
}

Size ImageElement::computeSize(ProposedSize proposal) {
  if (!image_.resizable) return natural_;
  return {proposal.width.value_or(natural_.width), proposal.height.value_or(natural_.height)};
}

void ImageElement::draw(const DrawContext& context) const {
  const Rect r = context.snapped(frame_);
  if (r.size.width <= 0 || r.size.height <= 0) return;
  if (image_.system) {
    drawSymbol(context.cr, image_.name, r, foreground_.resolve(context.scheme));
    return;
  }
  AssetSurface asset = imageAssetSurface(image_.name);
  if (asset.surface == nullptr) return;
  const int width = cairo_image_surface_get_width(asset.surface);
  const int height = cairo_image_surface_get_height(asset.surface);
  cairo_t* cr = context.cr;
  cairo_save(cr);
  cairo_rectangle(cr, r.minX(), r.minY(), r.size.width, r.size.height);
  cairo_clip(cr);
  cairo_translate(cr, r.minX(), r.minY());
  cairo_scale(cr, r.size.width / width, r.size.height / height);
  cairo_set_source_surface(cr, asset.surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(asset.surface);
}

// ----- Modifiers -----
namespace {

// What each modifier record does to its child: the proposal the child is
// offered, the size answered around the child's, where the child sits and
// how the two are drawn. The templates are what a record leaves as it is.

template <class Record>
ProposedSize offered(const Record&, ProposedSize proposal, Element&) {
  return proposal;
}
template <class Record>
Size answered(const Record&, ProposedSize, Size child) {
  return child;
}
template <class Record>
Point childOrigin(const Record&, const Rect& frame, Size child) {
  return alignedOrigin(frame, child, Alignment::center);
}
template <class Record>
void drawAround(const Record&, const DrawContext& context, const Rect&, const Element& child) {
  child.draw(context);
}

const char* typeName(const _PaddingLayout&) { return "padding"; }

ProposedSize offered(const _PaddingLayout& padding, ProposedSize proposal, Element&) {
  const EdgeInsets& in = padding.insets;
  auto shrink = [](std::optional<double> length, double by) -> std::optional<double> {
    if (!length) return std::nullopt;
    return std::max(0.0, *length - by);
  };
  return {shrink(proposal.width, in.leading + in.trailing),
          shrink(proposal.height, in.top + in.bottom)};
}

Size answered(const _PaddingLayout& padding, ProposedSize, Size child) {
  const EdgeInsets& in = padding.insets;
  return {child.width + in.leading + in.trailing, child.height + in.top + in.bottom};
}

Point childOrigin(const _PaddingLayout& padding, const Rect& frame, Size) {
  return {frame.origin.x + padding.insets.leading, frame.origin.y + padding.insets.top};
}

const char* typeName(const _FrameLayout&) { return "frame"; }

ProposedSize offered(const _FrameLayout& frame, ProposedSize proposal, Element&) {
  return {frame.width ? frame.width : proposal.width,
          frame.height ? frame.height : proposal.height};
}

Size answered(const _FrameLayout& frame, ProposedSize, Size child) {
  return {frame.width.value_or(child.width), frame.height.value_or(child.height)};
}

Point childOrigin(const _FrameLayout& layout, const Rect& frame, Size child) {
  return alignedOrigin(frame, child, layout.alignment);
}

const char* typeName(const _FlexFrameLayout&) { return "flexFrame"; }

ProposedSize offered(const _FlexFrameLayout& flex, ProposedSize proposal, Element&) {
  auto axis = [](std::optional<double> offer, std::optional<double> minimum,
                 std::optional<double> ideal,
                 std::optional<double> maximum) -> std::optional<double> {
    if (!offer) return ideal;
    double length = *offer;
    if (maximum) length = std::min(length, *maximum);
    if (minimum) length = std::max(length, *minimum);
    return length;
  };
  return {axis(proposal.width, flex.minWidth, flex.idealWidth, flex.maxWidth),
          axis(proposal.height, flex.minHeight, flex.idealHeight, flex.maxHeight)};
}

Size answered(const _FlexFrameLayout& flex, ProposedSize proposal, Size child) {
  // Per axis: at least the minimum and at most the maximum; between them the
  // child's size, pulled toward the proposal by whichever bound is given.
  auto axis = [](double childLength, std::optional<double> proposed, std::optional<double> minimum,
                 std::optional<double> maximum) {
    double length = childLength;
    const double target = proposed.value_or(childLength);
    if (minimum) length = std::max(*minimum, std::min(length, target));
    if (maximum) length = std::min(*maximum, std::max(length, target));
    return length;
  };
  const std::optional<double> proposedWidth = proposal.width ? proposal.width : flex.idealWidth;
  const std::optional<double> proposedHeight = proposal.height ? proposal.height : flex.idealHeight;
  return {axis(child.width, proposedWidth, flex.minWidth, flex.maxWidth),
          axis(child.height, proposedHeight, flex.minHeight, flex.maxHeight)};
}

Point childOrigin(const _FlexFrameLayout& flex, const Rect& frame, Size child) {
  return alignedOrigin(frame, child, flex.alignment);
}

const char* typeName(const _AspectRatioLayout&) { return "aspectRatio"; }

ProposedSize offered(const _AspectRatioLayout& aspect, ProposedSize proposal, Element& child) {
  if (!proposal.width && !proposal.height) return proposal;
  double w = 1;
  double h = 1;
  if (aspect.aspectRatio) {
    w = *aspect.aspectRatio;
  } else {
    const Size ideal = child.sizeThatFits(ProposedSize{});
    w = ideal.width;
    h = ideal.height;
  }
  if (!(w > 0) || !(h > 0) || std::isinf(w) || std::isinf(h)) return proposal;
  double scale = 0;
  if (aspect.contentMode == ContentMode::fit) {
    scale = std::min(orInfinity(proposal.width) / w, orInfinity(proposal.height) / h);
  } else {
    // A missing dimension does not ask to be filled.
    scale = std::max(proposal.width ? *proposal.width / w : 0.0,
                     proposal.height ? *proposal.height / h : 0.0);
  }
  if (!std::isfinite(scale)) return proposal;
  ProposedSize out{w * scale, h * scale};
  // Filling never offers the content more than was offered here on an axis
  // with a size: a row's text keeps to the row instead of pushing its
  // neighbours out of the widget.
  if (aspect.contentMode == ContentMode::fill) {
    if (proposal.width) out.width = std::min(*out.width, *proposal.width);
    if (proposal.height) out.height = std::min(*out.height, *proposal.height);
  }
  return out;
}

const char* typeName(const _FixedSizeLayout&) { return "fixedSize"; }

ProposedSize offered(const _FixedSizeLayout& fixed, ProposedSize proposal, Element&) {
  return {fixed.horizontal ? std::nullopt : proposal.width,
          fixed.vertical ? std::nullopt : proposal.height};
}

const char* typeName(const _BackgroundStyleModifier&) { return "background"; }

void drawAround(const _BackgroundStyleModifier& background, const DrawContext& context,
                const Rect& frame, const Element& child) {
  context.fill(frame, background.style);
  child.draw(context);
}

const char* typeName(const _ClipEffect&) { return "clip"; }

void drawAround(const _ClipEffect& clip, const DrawContext& context, const Rect& frame,
                const Element& child) {
  cairo_save(context.cr);
  appendRoundedRect(context.cr, context.snapped(frame), clip.shape.cornerRadius, clip.shape.style);
  cairo_set_fill_rule(context.cr, CAIRO_FILL_RULE_WINDING);
  cairo_clip(context.cr);
  child.draw(context);
  cairo_restore(context.cr);
}

template <class Record>
class ModifierElement final : public WrapperElement {
 public:
  ModifierElement(Record record, std::unique_ptr<Element> child)
      : WrapperElement(std::move(child)), record_(std::move(record)) {}
  void draw(const DrawContext& context) const override {
    drawAround(record_, context, frame_, *child_);
  }
  PlacedView describe() const override { return describeWrapper(typeName(record_)); }

 protected:
  Size computeSize(ProposedSize proposal) override {
    return answered(record_, proposal, child_->sizeThatFits(offered(record_, proposal, *child_)));
  }
  void placeChildren(ProposedSize proposal) override {
    const ProposedSize offer = offered(record_, proposal, *child_);
    child_->place(childOrigin(record_, frame_, child_->sizeThatFits(offer)), offer);
  }

 private:
  Record record_;
};

}  // namespace

std::unique_ptr<Element> makeModifierElement(Modifier modifier, std::unique_ptr<Element> child) {
  return std::visit(
      [&child](auto& record) -> std::unique_ptr<Element> {
        using Record = std::decay_t<decltype(record)>;
        if constexpr (requires { typeName(record); }) {
          return std::make_unique<ModifierElement<Record>>(std::move(record), std::move(child));
        }
        return std::move(child);
      },
      modifier);
}

void BackgroundViewElement::placeChildren(ProposedSize proposal) {
  child_->place(frame_.origin, proposal);
  const ProposedSize offered = ProposedSize::from(frame_.size);
  background_->place(alignedOrigin(frame_, background_->sizeThatFits(offered), alignment_),
                     offered);
}

void BackgroundViewElement::draw(const DrawContext& context) const {
  background_->draw(context);
  child_->draw(context);
}

PlacedView BackgroundViewElement::describe() const {
  PlacedView out = describeAs("background");
  out.children.push_back(background_->describe());
  out.children.push_back(child_->describe());
  return out;
}

}  // namespace platform::ui::detail
