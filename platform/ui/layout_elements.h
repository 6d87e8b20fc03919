// The element kinds of the layout engine (layout_engine.h), inside
// platform/ui only: leaves (empty, colour, spacer, text, image), the stack,
// and one wrapper per layout modifier. Parameters arrive sanitised by the
// builder (finite where a number is needed); each element owns its children.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/layout_engine.h"
#include "platform/ui/text_engine.h"

namespace platform::ui::detail {

class EmptyElement final : public Element {
 public:
  bool isEmpty() const override { return true; }
  void draw(const DrawContext&) const override {}
  PlacedView describe() const override { return describeAs("EmptyView"); }

 protected:
  Size computeSize(ProposedSize) override { return {}; }
};

class ColorElement final : public Element {
 public:
  explicit ColorElement(Color color) : color_(color) {}
  void draw(const DrawContext& context) const override { context.fill(frame_, color_); }
  PlacedView describe() const override { return describeAs("Color"); }

 protected:
  Size computeSize(ProposedSize proposal) override;

 private:
  Color color_;
};

class SpacerElement final : public Element {
 public:
  SpacerElement(double minLength, std::optional<Axis> axis) : minLength_(minLength), axis_(axis) {}
  double layoutPriority() const override { return -kInfinity; }
  void draw(const DrawContext&) const override {}
  PlacedView describe() const override { return describeAs("Spacer"); }

 protected:
  Size computeSize(ProposedSize proposal) override;

 private:
  double minLength_;
  std::optional<Axis> axis_;  // the enclosing stack's; none: grows both ways
};

class TextElement final : public Element {
 public:
  TextElement(std::vector<StyledRun> runs, TextStyle style)
      : runs_(std::move(runs)), style_(style) {}
  void draw(const DrawContext& context) const override;
  PlacedView describe() const override;

 protected:
  Size computeSize(ProposedSize proposal) override;
  void placeChildren(ProposedSize proposal) override;

 private:
  std::vector<StyledRun> runs_;
  TextStyle style_;
  std::vector<std::pair<ProposedSize, TextFit>> fits_;
  TextFit placed_;
};

class ImageElement final : public Element {
 public:
  ImageElement(ImageNode image, Color foreground, double symbolSize);
  void draw(const DrawContext& context) const override;
  PlacedView describe() const override { return describeAs("Image"); }

 protected:
  Size computeSize(ProposedSize proposal) override;

 private:
  ImageNode image_;
  Color foreground_;
  Size natural_;
};

class StackElement final : public Element {
 public:
  StackElement(Axis axis, HorizontalAlignment horizontal, VerticalAlignment vertical,
               double spacing, std::vector<std::unique_ptr<Element>> children);
  PlacedView describe() const override;
  void draw(const DrawContext& context) const override;

 protected:
  Size computeSize(ProposedSize proposal) override;
  void placeChildren(ProposedSize proposal) override;

 private:
  struct ChildLayout {
    ProposedSize proposal;
    Size size;
  };
  std::vector<ChildLayout> arrange(ProposedSize proposal);

  Axis axis_;
  HorizontalAlignment horizontal_;
  VerticalAlignment vertical_;
  double spacing_;
  std::vector<std::unique_ptr<Element>> children_;
};

// A modifier around one child; layout priority passes through.
class WrapperElement : public Element {
 public:
  explicit WrapperElement(std::unique_ptr<Element> child) : child_(std::move(child)) {}
  double layoutPriority() const override { return child_->layoutPriority(); }

 protected:
  PlacedView describeWrapper(const char* type) const;
  std::unique_ptr<Element> child_;
};

// The element of a layout modifier (padding, frame, flexFrame, aspectRatio,
// fixedSize) or a drawing one (background colour, clip) around `child`;
// `child` itself for any other modifier. REQUIRES: numbers made usable.
std::unique_ptr<Element> makeModifierElement(Modifier modifier, std::unique_ptr<Element> child);

// A background view: proposed the child's size, placed by `alignment`,
// drawn behind the child.
class BackgroundViewElement final : public WrapperElement {
 public:
  BackgroundViewElement(std::unique_ptr<Element> background, Alignment alignment,
                        std::unique_ptr<Element> child)
      : WrapperElement(std::move(child)),
        background_(std::move(background)),
        alignment_(alignment) {}
  void draw(const DrawContext& context) const override;
  PlacedView describe() const override;

 protected:
  Size computeSize(ProposedSize proposal) override { return child_->sizeThatFits(proposal); }
  void placeChildren(ProposedSize proposal) override;

 private:
  std::unique_ptr<Element> background_;
  Alignment alignment_;
};

}  // namespace platform::ui::detail
