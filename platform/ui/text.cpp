#include "platform/ui/text.h"

#include "platform/foundation/locale/string_table.h"

namespace platform::ui {
namespace {

const TextNode& textNode(const View& view) { return std::get<TextNode>(view.node().content); }

}  // namespace

Text::Text(const LocalizedStringKey& key)
    : Text(std::vector<TextRun>{TextRun{
          foundation::localizedString(key.key, key.arguments), key.key, key.arguments, {}, {}}}) {}

Text::Text(std::vector<TextRun> runs) : View(makeView(ViewNode{TextNode{std::move(runs)}, {}})) {}

Text Text::verbatim(std::string text) {
  return Text(std::vector<TextRun>{TextRun{std::move(text), {}, {}, {}, {}}});
}

Text Text::font(const Font& font) const {
  std::vector<TextRun> runs = textNode(*this).runs;
  for (TextRun& run : runs) {
    if (!run.font) run.font = font;
  }
  return Text(std::move(runs));
}

Text Text::foregroundColor(const Color& color) const {
  std::vector<TextRun> runs = textNode(*this).runs;
  for (TextRun& run : runs) {
    if (!run.foregroundColor) run.foregroundColor = color;
  }
  return Text(std::move(runs));
}

const std::vector<TextRun>& Text::runs() const { return textNode(*this).runs; }

std::string Text::string() const {
  std::string joined;
  for (const TextRun& run : runs()) joined += run.text;
  return joined;
}

Text operator+(const Text& lhs, const Text& rhs) {
  std::vector<TextRun> runs = lhs.runs();
  runs.insert(runs.end(), rhs.runs().begin(), rhs.runs().end());
  return Text(std::move(runs));
}

}  // namespace platform::ui
