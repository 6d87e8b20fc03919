// dumpView: a view tree as JSON, for tests, tools and the widget host's
// `--json` output. Pure function of the tree; any thread.
//
// Every node is an object with "type" ("VStack", "HStack", "Spacer", "Text",
// "Image", "Color"), its parameters by name, "children" for stacks, and
// "modifiers": a list in the order applied, innermost first, each with its
// own "type" ("font", "padding", "frame", "flexFrame", "aspectRatio",
// "fixedSize", "background", "clip", "foregroundColor", "lineLimit",
// "minimumScaleFactor", "multilineTextAlignment", "widgetURL",
// "containerBackground") and parameters:
//   VStack  {"alignment":"leading","spacing":10|null,"children":[...]}
//   HStack  {"alignment":"center","spacing":8|null,"children":[...]}
//   Spacer  {"minLength":null}
//   Text    {"runs":[{"text":"$12.00","key":"$%@","arguments":["12.00"],
//                     "font":F,"foregroundColor":C}]}  ("key", "arguments",
//           "font" and "foregroundColor" only where set)
//   Image   {"name":"app-icon"} or {"systemName":"plus.circle.fill"},
//           plus "resizable": null or {"capInsets":I,"resizingMode":"stretch"}
//   Color   {"color":C}
//   font {"font":F}; padding {"insets":I,"edges":["top","bottom"]};
//   frame {"width":w|null,"height":h|null,"alignment":A};
//   flexFrame {"minWidth","idealWidth","maxWidth","minHeight","idealHeight",
//              "maxHeight" (number|"infinity"|null), "alignment":A};
//   aspectRatio {"ratio":r|null,"contentMode":"fit"|"fill"};
//   fixedSize {"horizontal":b,"vertical":b};
//   background {"color":C} (a colour) or {"view":VIEW,"alignment":A} (a view);
//   clip {"shape":{"type":"RoundedRectangle","cornerRadius":r,"style":"continuous"}};
//   foregroundColor {"color":C}; lineLimit {"limit":n|null};
//   minimumScaleFactor {"factor":x}; multilineTextAlignment {"alignment":"center"};
//   widgetURL {"url":"..."};
//   containerBackground {"placement":"widget","view":VIEW,"alignment":A}.
// F = {"size":14,"weight":"semibold","design":"default"};
// C = {"red":r,"green":g,"blue":b,"opacity":o} or {"dynamic":{"light":C,"dark":C}};
// I = {"top":t,"leading":l,"bottom":b,"trailing":t};
// A = "center", "leading", "trailing", "top", "bottom", "topLeading", ...
// Numbers that JSON cannot hold are strings: "infinity", "-infinity", "nan".
// A conditional child dumps as its present branch with "branch":"first" or
// "second" added; its own modifiers follow the branch's in "modifiers" (they
// wrap it). The empty view dumps as {"type":"EmptyView","modifiers":[]}.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "platform/ui/color.h"
#include "platform/ui/font.h"
#include "platform/ui/view.h"

namespace platform::ui {

nlohmann::ordered_json dumpView(const View& view);
nlohmann::ordered_json dumpColor(const Color& color);
nlohmann::ordered_json dumpFont(const Font& font);
// A number, or "infinity" / "-infinity" / "nan".
nlohmann::ordered_json dumpNumber(double value);

}  // namespace platform::ui
