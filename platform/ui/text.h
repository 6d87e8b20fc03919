// Text: a run of text, or several runs joined with `+`, each with its own
// font and colour. A localized Text looks its key up in the main bundle's
// default string table when it is made, then fills "%@" placeholders with
// the key's arguments in order; a verbatim Text is shown as given.
// Plain values like every View: copy freely, build on any thread.
//
//   Text badge = Text::verbatim("↑2.35").font(semibold14) +
//                Text(LocalizedStringKey("%")).font(semibold14);
//   View line = badge.padding(EdgeInsets{6, 8, 6, 8}).background(gainColor);
//
// `font` and `foregroundColor` on a Text set the runs' own values and return
// a Text; every other modifier makes it a View.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/view.h"

namespace platform::ui {

// A string-table key and the strings interpolated into its "%@" placeholders.
struct LocalizedStringKey {
  explicit LocalizedStringKey(std::string key, std::vector<std::string> arguments = {})
      : key(std::move(key)), arguments(std::move(arguments)) {}

  std::string key;
  std::vector<std::string> arguments;
  friend bool operator==(const LocalizedStringKey&, const LocalizedStringKey&) = default;
};

class Text : public View {
 public:
  // The localized text of `key` (the key itself when the table lacks it).
  explicit Text(const LocalizedStringKey& key);
  // `text` as it is, never localized.
  static Text verbatim(std::string text);

  // Sets the font, or colour, of every run that has none of its own.
  Text font(const Font& font) const;
  Text foregroundColor(const Color& color) const;

  const std::vector<TextRun>& runs() const;
  // The runs' texts joined: what a reader sees.
  std::string string() const;

  // Joins two texts into one line of runs; each run keeps its own font and colour.
  friend Text operator+(const Text& lhs, const Text& rhs);

 private:
  explicit Text(std::vector<TextRun> runs);
};

}  // namespace platform::ui
