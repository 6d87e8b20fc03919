#include "platform/ui/view_dump.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace platform::ui {
namespace {

using json = nlohmann::ordered_json;
// A node's members, which come from its content, its modifiers and a
// conditional around it; the map keeps them in name order.
using Members = std::map<std::string, json>;

json optionalNumber(const std::optional<double>& value) {
  return value ? dumpNumber(*value) : json(nullptr);
}

// The name of an enumerator, from its enumeration's names in declaration order.
template <class Enum, class Name, std::size_t N>
const Name& nameOf(Enum value, const Name (&names)[N]) {
  return names[static_cast<std::size_t>(value)];
}

const char* alignmentName(const Alignment& a) {
  static constexpr const char* kNames[3][3] = {{"topLeading", "top", "topTrailing"},
                                               {"leading", "center", "trailing"},
                                               {"bottomLeading", "bottom", "bottomTrailing"}};
  return nameOf(a.horizontal, nameOf(a.vertical, kNames));
}

// HorizontalAlignment and TextAlignment.
constexpr const char* kLeadingCenterTrailing[] = {"leading", "center", "trailing"};
constexpr const char* kTopCenterBottom[] = {"top", "center", "bottom"};

json dumpInsets(const EdgeInsets& i) {
  return {{"bottom", dumpNumber(i.bottom)},
          {"leading", dumpNumber(i.leading)},
          {"top", dumpNumber(i.top)},
          {"trailing", dumpNumber(i.trailing)}};
}

json dumpEdges(EdgeSet edges) {
  json list = json::array();
  for (auto [edge, name] : {std::pair{EdgeSet::top, "top"},
                            {EdgeSet::leading, "leading"},
                            {EdgeSet::bottom, "bottom"},
                            {EdgeSet::trailing, "trailing"}}) {
    if (contains(edges, edge)) list.push_back(name);
  }
  return list;
}

json dumpRgba(const Rgba& c) {
  return {{"blue", dumpNumber(c.blue)},
          {"green", dumpNumber(c.green)},
          {"opacity", dumpNumber(c.opacity)},
          {"red", dumpNumber(c.red)}};
}

json dumpModifier(const Modifier& modifier) {
  struct Visitor {
    json operator()(const FontModifier& m) const {
      return {{"font", dumpFont(m.font)}, {"type", "font"}};
    }
    json operator()(const _PaddingLayout& m) const {
      return {{"edges", dumpEdges(m.edges)}, {"insets", dumpInsets(m.insets)}, {"type", "padding"}};
    }
    json operator()(const _FrameLayout& m) const {
      return {{"alignment", alignmentName(m.alignment)},
              {"height", optionalNumber(m.height)},
              {"type", "frame"},
              {"width", optionalNumber(m.width)}};
    }
    json operator()(const _FlexFrameLayout& m) const {
      return {{"alignment", alignmentName(m.alignment)},
              {"idealHeight", optionalNumber(m.idealHeight)},
              {"idealWidth", optionalNumber(m.idealWidth)},
              {"maxHeight", optionalNumber(m.maxHeight)},
              {"maxWidth", optionalNumber(m.maxWidth)},
              {"minHeight", optionalNumber(m.minHeight)},
              {"minWidth", optionalNumber(m.minWidth)},
              {"type", "flexFrame"}};
    }
    json operator()(const _AspectRatioLayout& m) const {
      return {{"contentMode", m.contentMode == ContentMode::fit ? "fit" : "fill"},
              {"ratio", optionalNumber(m.aspectRatio)},
              {"type", "aspectRatio"}};
    }
    json operator()(const _FixedSizeLayout& m) const {
      return {{"horizontal", m.horizontal}, {"type", "fixedSize"}, {"vertical", m.vertical}};
    }
    json operator()(const _BackgroundStyleModifier& m) const {
      return {{"color", dumpColor(m.style)}, {"type", "background"}};
    }
    json operator()(const _BackgroundModifier& m) const {
      return {{"alignment", alignmentName(m.alignment)},
              {"type", "background"},
              {"view", dumpView(m.background)}};
    }
    json operator()(const _ClipEffect& m) const {
      const bool continuous = m.shape.style == RoundedCornerStyle::continuous;
      return {{"shape",
               {{"cornerRadius", dumpNumber(m.shape.cornerRadius)},
                {"style", continuous ? "continuous" : "circular"},
                {"type", "RoundedRectangle"}}},
              {"type", "clip"}};
    }
    json operator()(const ForegroundColorModifier& m) const {
      return {{"color", dumpColor(m.color)}, {"type", "foregroundColor"}};
    }
    json operator()(const LineLimitModifier& m) const {
      return {{"limit", m.limit ? json(*m.limit) : json(nullptr)}, {"type", "lineLimit"}};
    }
    json operator()(const MinimumScaleFactorModifier& m) const {
      return {{"factor", dumpNumber(m.factor)}, {"type", "minimumScaleFactor"}};
    }
    json operator()(const MultilineTextAlignmentModifier& m) const {
      return {{"alignment", nameOf(m.alignment, kLeadingCenterTrailing)},
              {"type", "multilineTextAlignment"}};
    }
    json operator()(const WidgetURLModifier& m) const {
      return {{"type", "widgetURL"}, {"url", m.url}};
    }
    json operator()(const ContainerBackgroundModifier& m) const {
      return {{"alignment", alignmentName(m.alignment)},
              {"placement", "widget"},
              {"type", "containerBackground"},
              {"view", dumpView(m.content)}};
    }
  };
  return std::visit(Visitor{}, modifier);
}

json dumpRun(const TextRun& run) {
  json out = json::object();
  if (run.key) out["arguments"] = run.arguments;
  if (run.font) out["font"] = dumpFont(*run.font);
  if (run.foregroundColor) out["foregroundColor"] = dumpColor(*run.foregroundColor);
  if (run.key) out["key"] = *run.key;
  out["text"] = run.text;
  return out;
}

Members nodeMembers(const View& view);

Members contentMembers(const ViewContent& content) {
  struct Visitor {
    Members operator()(const EmptyNode&) const { return {{"type", "EmptyView"}}; }
    Members operator()(const StackNode& s) const {
      json children = json::array();
      for (const View& child : s.children) children.push_back(dumpView(child));
      const bool vertical = s.axis == Axis::vertical;
      return {{"type", vertical ? "VStack" : "HStack"},
              {"alignment", vertical ? nameOf(s.horizontalAlignment, kLeadingCenterTrailing)
                                     : nameOf(s.verticalAlignment, kTopCenterBottom)},
              {"spacing", optionalNumber(s.spacing)},
              {"children", std::move(children)}};
    }
    Members operator()(const SpacerNode& s) const {
      return {{"type", "Spacer"}, {"minLength", optionalNumber(s.minLength)}};
    }
    Members operator()(const TextNode& t) const {
      json runs = json::array();
      for (const TextRun& run : t.runs) runs.push_back(dumpRun(run));
      return {{"type", "Text"}, {"runs", std::move(runs)}};
    }
    Members operator()(const ImageNode& i) const {
      json resizable = nullptr;
      if (i.resizable) {
        const bool stretch = i.resizable->resizingMode == ResizingMode::stretch;
        resizable = {{"capInsets", dumpInsets(i.resizable->capInsets)},
                     {"resizingMode", stretch ? "stretch" : "tile"}};
      }
      return {{"type", "Image"},
              {i.system ? "systemName" : "name", i.name},
              {"resizable", std::move(resizable)}};
    }
    Members operator()(const ColorNode& c) const {
      return {{"type", "Color"}, {"color", dumpColor(c.color)}};
    }
    Members operator()(const ConditionalNode& c) const {
      Members members = nodeMembers(c.content);
      members["branch"] = c.first ? "first" : "second";
      return members;
    }
  };
  return std::visit(Visitor{}, content);
}

Members nodeMembers(const View& view) {
  const ViewNode& node = view.node();
  Members members = contentMembers(node.content);
  // A conditional's branch already carries its own modifiers; the
  // conditional's wrap them, so they follow.
  json& modifiers = members.try_emplace("modifiers", json::array()).first->second;
  for (const Modifier& modifier : node.modifiers) modifiers.push_back(dumpModifier(modifier));
  return members;
}

}  // namespace

json dumpNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "infinity" : "-infinity";
  return value;
}

json dumpColor(const Color& color) {
  if (color.isDynamic()) {
    return {{"dynamic", {{"dark", dumpRgba(color.dark())}, {"light", dumpRgba(color.light())}}}};
  }
  return dumpRgba(color.light());
}

json dumpFont(const Font& font) {
  return {{"design", designName(font.design())},
          {"size", dumpNumber(font.size())},
          {"weight", weightName(font.weight())}};
}

json dumpView(const View& view) { return json(nodeMembers(view)); }

}  // namespace platform::ui
