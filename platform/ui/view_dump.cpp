#include "platform/ui/view_dump.h"

#include <cmath>

namespace platform::ui {
namespace {

using nlohmann::json;

json optionalNumber(const std::optional<double>& value) {
  return value ? dumpNumber(*value) : json(nullptr);
}

const char* alignmentName(const Alignment& a) {
  using H = HorizontalAlignment;
  using V = VerticalAlignment;
  switch (a.vertical) {
    case V::top:
      return a.horizontal == H::leading  ? "topLeading"
             : a.horizontal == H::center ? "top"
                                         : "topTrailing";
    case V::center:
      return a.horizontal == H::leading  ? "leading"
             : a.horizontal == H::center ? "center"
                                         : "trailing";
    case V::bottom:
      return a.horizontal == H::leading  ? "bottomLeading"
             : a.horizontal == H::center ? "bottom"
                                         : "bottomTrailing";
  }
  return "center";
}

const char* horizontalName(HorizontalAlignment a) {
  switch (a) {
    case HorizontalAlignment::leading:
      return "leading";
    case HorizontalAlignment::center:
      return "center";
    case HorizontalAlignment::trailing:
      return "trailing";
  }
  return "center";
}

const char* verticalName(VerticalAlignment a) {
  switch (a) {
    case VerticalAlignment::top:
      return "top";
    case VerticalAlignment::center:
      return "center";
    case VerticalAlignment::bottom:
      return "bottom";
  }
  return "center";
}

const char* textAlignmentName(TextAlignment a) {
  switch (a) {
    case TextAlignment::leading:
      return "leading";
    case TextAlignment::center:
      return "center";
    case TextAlignment::trailing:
      return "trailing";
  }
  return "leading";
}

json dumpInsets(const EdgeInsets& i) {
  return {{"top", dumpNumber(i.top)},
          {"leading", dumpNumber(i.leading)},
          {"bottom", dumpNumber(i.bottom)},
          {"trailing", dumpNumber(i.trailing)}};
}

json dumpEdges(EdgeSet edges) {
  json list = json::array();
  if (contains(edges, EdgeSet::top)) list.push_back("top");
  if (contains(edges, EdgeSet::leading)) list.push_back("leading");
  if (contains(edges, EdgeSet::bottom)) list.push_back("bottom");
  if (contains(edges, EdgeSet::trailing)) list.push_back("trailing");
  return list;
}

json dumpRgba(const Rgba& c) {
  return {{"red", dumpNumber(c.red)},
          {"green", dumpNumber(c.green)},
          {"blue", dumpNumber(c.blue)},
          {"opacity", dumpNumber(c.opacity)}};
}

json dumpModifier(const Modifier& modifier) {
  struct Visitor {
    json operator()(const FontModifier& m) const {
      return {{"type", "font"}, {"font", dumpFont(m.font)}};
    }
    json operator()(const _PaddingLayout& m) const {
      return {{"type", "padding"}, {"insets", dumpInsets(m.insets)}, {"edges", dumpEdges(m.edges)}};
    }
    json operator()(const _FrameLayout& m) const {
      return {{"type", "frame"},
              {"width", optionalNumber(m.width)},
              {"height", optionalNumber(m.height)},
              {"alignment", alignmentName(m.alignment)}};
    }
    json operator()(const _FlexFrameLayout& m) const {
      return {{"type", "flexFrame"},
              {"minWidth", optionalNumber(m.minWidth)},
              {"idealWidth", optionalNumber(m.idealWidth)},
              {"maxWidth", optionalNumber(m.maxWidth)},
              {"minHeight", optionalNumber(m.minHeight)},
              {"idealHeight", optionalNumber(m.idealHeight)},
              {"maxHeight", optionalNumber(m.maxHeight)},
              {"alignment", alignmentName(m.alignment)}};
    }
    json operator()(const _AspectRatioLayout& m) const {
      return {{"type", "aspectRatio"},
              {"ratio", optionalNumber(m.aspectRatio)},
              {"contentMode", m.contentMode == ContentMode::fit ? "fit" : "fill"}};
    }
    json operator()(const _FixedSizeLayout& m) const {
      return {{"type", "fixedSize"}, {"horizontal", m.horizontal}, {"vertical", m.vertical}};
    }
    json operator()(const _BackgroundStyleModifier& m) const {
      return {{"type", "background"}, {"color", dumpColor(m.style)}};
    }
    json operator()(const _BackgroundModifier& m) const {
      return {{"type", "background"},
              {"view", dumpView(m.background)},
              {"alignment", alignmentName(m.alignment)}};
    }
    json operator()(const _ClipEffect& m) const {
      return {{"type", "clip"},
              {"shape",
               {{"type", "RoundedRectangle"},
                {"cornerRadius", dumpNumber(m.shape.cornerRadius)},
                {"style",
                 m.shape.style == RoundedCornerStyle::continuous ? "continuous" : "circular"}}}};
    }
    json operator()(const ForegroundColorModifier& m) const {
      return {{"type", "foregroundColor"}, {"color", dumpColor(m.color)}};
    }
    json operator()(const LineLimitModifier& m) const {
      return {{"type", "lineLimit"}, {"limit", m.limit ? json(*m.limit) : json(nullptr)}};
    }
    json operator()(const MinimumScaleFactorModifier& m) const {
      return {{"type", "minimumScaleFactor"}, {"factor", dumpNumber(m.factor)}};
    }
    json operator()(const MultilineTextAlignmentModifier& m) const {
      return {{"type", "multilineTextAlignment"}, {"alignment", textAlignmentName(m.alignment)}};
    }
    json operator()(const WidgetURLModifier& m) const {
      return {{"type", "widgetURL"}, {"url", m.url}};
    }
    json operator()(const ContainerBackgroundModifier& m) const {
      return {{"type", "containerBackground"},
              {"placement", "widget"},
              {"view", dumpView(m.content)},
              {"alignment", alignmentName(m.alignment)}};
    }
  };
  return std::visit(Visitor{}, modifier);
}

json dumpRun(const TextRun& run) {
  json out = {{"text", run.text}};
  if (run.key) {
    out["key"] = *run.key;
    out["arguments"] = run.arguments;
  }
  if (run.font) out["font"] = dumpFont(*run.font);
  if (run.foregroundColor) out["foregroundColor"] = dumpColor(*run.foregroundColor);
  return out;
}

json dumpContent(const ViewContent& content) {
  struct Visitor {
    json operator()(const EmptyNode&) const { return {{"type", "EmptyView"}}; }
    json operator()(const StackNode& s) const {
      json children = json::array();
      for (const View& child : s.children) children.push_back(dumpView(child));
      const bool vertical = s.axis == Axis::vertical;
      return {{"type", vertical ? "VStack" : "HStack"},
              {"alignment", vertical ? horizontalName(s.horizontalAlignment)
                                     : verticalName(s.verticalAlignment)},
              {"spacing", optionalNumber(s.spacing)},
              {"children", std::move(children)}};
    }
    json operator()(const SpacerNode& s) const {
      return {{"type", "Spacer"}, {"minLength", optionalNumber(s.minLength)}};
    }
    json operator()(const TextNode& t) const {
      json runs = json::array();
      for (const TextRun& run : t.runs) runs.push_back(dumpRun(run));
      return {{"type", "Text"}, {"runs", std::move(runs)}};
    }
    json operator()(const ImageNode& i) const {
      json out = {{"type", "Image"}, {i.system ? "systemName" : "name", i.name}};
      if (i.resizable) {
        out["resizable"] = {
            {"capInsets", dumpInsets(i.resizable->capInsets)},
            {"resizingMode",
             i.resizable->resizingMode == ResizingMode::stretch ? "stretch" : "tile"}};
      } else {
        out["resizable"] = nullptr;
      }
      return out;
    }
    json operator()(const ColorNode& c) const {
      return {{"type", "Color"}, {"color", dumpColor(c.color)}};
    }
    json operator()(const ConditionalNode& c) const {
      json out = dumpView(c.content);
      out["branch"] = c.first ? "first" : "second";
      return out;
    }
  };
  return std::visit(Visitor{}, content);
}

}  // namespace

json dumpNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "infinity" : "-infinity";
  return value;
}

json dumpColor(const Color& color) {
  if (color.isDynamic()) {
    return {{"dynamic", {{"light", dumpRgba(color.light())}, {"dark", dumpRgba(color.dark())}}}};
  }
  return dumpRgba(color.light());
}

json dumpFont(const Font& font) {
  return {{"size", dumpNumber(font.size())},
          {"weight", weightName(font.weight())},
          {"design", designName(font.design())}};
}

json dumpView(const View& view) {
  const ViewNode& node = view.node();
  json out = dumpContent(node.content);
  // A conditional's branch already carries its own modifiers; the
  // conditional's wrap them, so they follow.
  if (!out.contains("modifiers")) out["modifiers"] = json::array();
  for (const Modifier& modifier : node.modifiers)
    out["modifiers"].push_back(dumpModifier(modifier));
  return out;
}

}  // namespace platform::ui
