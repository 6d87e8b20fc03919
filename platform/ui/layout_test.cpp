#include "platform/ui/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "platform/ui/image.h"
#include "platform/ui/text.h"
#include "platform/ui/text_engine.h"

namespace platform::ui {
namespace {

const FlexFrame kFill{.maxWidth = kInfinity, .maxHeight = kInfinity};
const FlexFrame kFillLeading{
    .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::leading};
const std::string kLongText =
    "Keep track of your profits, losses and portfolio valuation. Start building your portfolio "
    "today.";

View box(double width, double height) { return View(Color::black()).frame(width, height); }

// The placed tree as "type x,y wxh (children)"; "a>b": b fills a.
std::string frames(const PlacedView& node) {
  std::ostringstream out;
  auto number = [](double v) { return std::round(v * 100) / 100; };
  const PlacedView* p = &node;
  out << p->type;
  while (p->children.size() == 1 && p->children[0].frame == p->frame) {
    p = &p->children[0];
    out << ">" << p->type;
  }
  out << " " << number(p->frame.minX()) << "," << number(p->frame.minY()) << " "
      << number(p->frame.size.width) << "x" << number(p->frame.size.height);
  if (!p->children.empty()) {
    out << " (";
    for (std::size_t i = 0; i < p->children.size(); ++i)
      out << (i ? ", " : "") << frames(p->children[i]);
    out << ")";
  }
  return out.str();
}

struct Row {
  View view;
  Size offer;
  std::string frames;
};

TEST(LayoutTest, ViewTreesLandWhereTheToolkitPutsThem) {
  const View line = HStack(VerticalAlignment::top, 0, {Text::verbatim("W"), View(Color::black())});
  const Row cases[] = {
      Row(HStack(VerticalAlignment::top, 5, {box(30, 10), box(50, 20)}), {200, 100},
          "HStack 57.5,40 85x20 (frame>Color 57.5,40 30x10, frame>Color 92.5,40 50x20)"),
      Row(HStack(VerticalAlignment::bottom, 0, {box(30, 10), box(50, 20)}), {80, 20},
          "HStack 0,0 80x20 (frame>Color 0,10 30x10, frame>Color 30,0 50x20)"),
      Row(VStack({box(10, 10), box(20, 10)}), {100, 100},
          "VStack 40,36 20x28 (frame>Color 45,36 10x10, frame>Color 40,54 20x10)"),
      Row(VStack(HorizontalAlignment::leading, 0, {box(40, 10), box(20, 10)}), {40, 20},
          "VStack 0,0 40x20 (frame>Color 0,0 40x10, frame>Color 0,10 20x10)"),
      Row(VStack(HorizontalAlignment::trailing, 2, {box(40, 10), box(20, 10)}), {40, 22},
          "VStack 0,0 40x22 (frame>Color 0,0 40x10, frame>Color 20,12 20x10)"),
      Row(VStack(HorizontalAlignment::center, 0, {Spacer(), box(20, 20), Spacer()}), {100, 100},
          "VStack 40,0 20x100 (Spacer 50,0 0x40, frame>Color 40,40 20x20, Spacer 50,60 0x40)"),
      Row(HStack(VerticalAlignment::center, std::nullopt,
                 {View(Color::black()).frame(kFill), Spacer()}),
          {200, 50}, "HStack 0,0 200x50 (flexFrame>Color 0,0 184x50, Spacer 192,25 8x0)"),
      Row(HStack(VerticalAlignment::center, 0, {Spacer(30), box(190, 10)}), {200, 10},
          "HStack -10,0 220x10 (Spacer -10,5 30x0, frame>Color 20,0 190x10)"),
      Row(Spacer(), {50, 40}, "Spacer 0,0 50x40"),
      Row(HStack(VerticalAlignment::center, 0,
                 {View(Color::black()).frame(FlexFrame{.maxWidth = 100}),
                  View(Color::white()).frame(FlexFrame{.minWidth = 100})}),
          {150, 10},
          "HStack -12.5,0 175x10 (flexFrame>Color -12.5,0 75x10, flexFrame>Color 62.5,0 100x10)"),
      Row(VStack(HorizontalAlignment::center, 10, {box(10, 10), View(), box(10, 10)}), {10, 30},
          "VStack 0,0 10x30 (frame>Color 0,0 10x10, EmptyView 0,0 0x0, frame>Color 0,20 10x10)"),
      Row(box(10, 10).frame(40, 30, Alignment::bottomTrailing), {40, 30},
          "frame 0,0 40x30 (frame>Color 30,20 10x10)"),
      Row(View(Color::black()).frame(20, std::nullopt), {50, 50}, "frame>Color 15,0 20x50"),
      Row(VStack(HorizontalAlignment::leading, 0, {line, line}), {30, 25},  // the first fits first
          "VStack 0,-7.79 30x40.57 (HStack 0,-7.79 30x20.29 (Text 0,-7.79 15x20.29, Color 15,-7.79 "
          "15x12.5), HStack 0,12.5 30x20.29 (Text 0,12.5 15x20.29, Color 15,12.5 15x4.71))"),
      Row(Text::verbatim("ab").frame(0.5, 40), {10, 40},
          "frame 4.75,0 0.5x40 (Text 4.75,9.86 0.5x20.29)"),
      Row(View(Color::black()).padding(EdgeInsets{1, 2, 3, 4}), {100, 50},
          "padding 0,0 100x50 (Color 2,1 94x46)"),
      Row(View(Color::black()).padding(EdgeInsets{4, 4, 3, 4}, EdgeSet::leading | EdgeSet::bottom),
          {100, 50}, "padding 0,0 100x50 (Color 4,0 96x47)"),
      Row(box(10, 10).padding(5), {100, 100}, "padding 40,40 20x20 (frame>Color 45,45 10x10)"),
      Row(box(10, 10).frame(kFillLeading), {200, 100},
          "flexFrame 0,0 200x100 (frame>Color 0,45 10x10)"),
      Row(box(10, 10).frame(FlexFrame{.minWidth = 50, .maxWidth = 80, .minHeight = 30}), {100, 100},
          "flexFrame 10,35 80x30 (frame>Color 45,45 10x10)"),
      Row(box(10, 10)
              .frame(FlexFrame{.idealWidth = 70,
                               .maxWidth = kInfinity,
                               .idealHeight = 5,
                               .alignment = Alignment::topTrailing})
              .fixedSize(),
          {100, 100}, "fixedSize>flexFrame 15,45 70x10 (frame>Color 75,45 10x10)"),
      Row(View(Color::black()).aspectRatio(2, ContentMode::fit), {100, 100},
          "aspectRatio>Color 0,25 100x50"),
      Row(View(Color::black()).aspectRatio(0.5, ContentMode::fill), {100, 60},
          "aspectRatio>Color 0,0 100x60"),
      Row(View(Color::black()).aspectRatio(std::nullopt, ContentMode::fit), {100, 60},
          "aspectRatio>Color 20,0 60x60"),
      Row(View(Color::black()).aspectRatio(2, ContentMode::fill).frame(40, std::nullopt),
          {100, 100}, "frame>aspectRatio>Color 30,0 40x100"),
      Row(View(Color::black()).fixedSize(), {100, 100}, "fixedSize>Color 45,45 10x10"),
      Row(View(Color::black()).fixedSize(false, true), {100, 100}, "fixedSize>Color 0,45 100x10"),
      Row(box(40, 20).background(box(10, 10), Alignment::bottomLeading), {40, 20},
          "background 0,0 40x20 (frame>Color 0,10 10x10, frame>Color 0,0 40x20)"),
      Row(Image::systemName("plus.circle.fill")
              .resizable()
              .aspectRatio(std::nullopt, ContentMode::fit)
              .frame(40, 30),
          {40, 30}, "frame 0,0 40x30 (aspectRatio>Image 5,0 30x30)"),
      Row(HStack(VerticalAlignment::top, 0,
                 {Image::systemName("plus.circle.fill"), Image::systemName("no.such.symbol"),
                  View(Image::systemName("plus.circle.fill")).font(Font::system(10))}),
          {100, 100},
          "HStack 33.8,39.8 32.4x20.4 (Image 33.8,39.8 20.4x20.4, Image 54.2,39.8 0x0, Image "
          "54.2,39.8 12x12)"),
  };
  for (const Row& c : cases) EXPECT_EQ(frames(layoutView(c.view, c.offer)), c.frames) << &c - cases;
}

// How a Text answers: what it shows, on how many lines, at what scale (no less than it needs).
struct TextCase {
  const char* name;
  View view;
  Size offer;
  double fontSize;
  std::string shown;
  int lines;
  bool truncated;
  double minScale, maxScale, maxWidth;
};

TEST(LayoutTest, TextShrinksWrapsAndTruncatesToWhatItIsOffered) {
  const Font bold22 = Font::system(22, Font::Weight::bold);
  const Text balance = Text::verbatim("$123,456,789.68").font(bold22);
  const Text long14 = Text::verbatim(kLongText).font(Font::system(14));
  const double ellipsis = layoutView(Text::verbatim("…").font(bold22), {300, 100}).frame.size.width;
  const TextCase cases[] = {
      TextCase("Too wide: shrinks before it truncates",
               balance.minimumScaleFactor(0.5).lineLimit(1).frame(130, std::nullopt), {300, 100},
               22, "$123,456,789.68", 1, false, 0.51, 0.99, 130),
      TextCase("Still too wide at the smallest scale: truncated",
               Text::verbatim(kLongText).font(bold22).minimumScaleFactor(0.5).lineLimit(1).frame(
                   120, std::nullopt),
               {300, 100}, 22, "Keep track of your pr…", 1, true, 0.5, 0.5, 120),
      TextCase("Without a scale factor it truncates at full size",
               balance.lineLimit(1).frame(100, std::nullopt), {300, 100}, 22, "$123,4…", 1, true, 1,
               1, 100),
      TextCase("Not even the ellipsis fits: nothing",
               Text::verbatim(kLongText).lineLimit(1).frame(1, 50), {300, 100}, 17, "", 1, true, 1,
               1, 1),
      TextCase("Offered the ellipsis's width, less a hair: the ellipsis",
               Text::verbatim(kLongText).font(bold22).lineLimit(1).frame(ellipsis - 0.01, 50),
               {300, 100}, 22, "…", 1, true, 1, 1, ellipsis - 0.01),
      TextCase("A zero-width space takes no width", Text::verbatim("\u200B"), {300, 100}, 17,
               "\u200B", 1, false, 1, 1, 0),
      TextCase("A line break in one line becomes a space", Text::verbatim("a\nb").lineLimit(1),
               {300, 100}, 17, "a b", 1, false, 1, 1, 300),
      TextCase("Without a limit it wraps at the offered width", long14, {150, 500}, 14, kLongText,
               5, false, 1, 1, 150),
      TextCase("A word wider than its line is broken inside",
               Text::verbatim("Supercalifragilisticexpialidocious"), {60, 500}, 17,
               "Supercalifragilisticexpialidocious", 6, false, 1, 1, 60),
      TextCase("A line limit cuts the wrapped lines", long14.lineLimit(2), {150, 500}, 14,
               "Keep track of your profits, losses and po…", 2, true, 1, 1, 150),
      TextCase("A short height shows the lines that fit", long14.frame(150, 40), {300, 300}, 14,
               "Keep track of your profits, losses and po…", 2, true, 1, 1, 150),
      TextCase("fixedSize(vertical) grows past the offered height",
               long14.fixedSize(false, true).frame(150, 20), {300, 300}, 14, kLongText, 5, false, 1,
               1, 150),
      TextCase("Ideal size: one line per paragraph", long14.fixedSize(), {100, 100}, 14, kLongText,
               1, false, 1, 1, 1000),
      TextCase("A filled row of text keeps to its row",
               HStack(VerticalAlignment::center, 8,
                      {Text::verbatim(kLongText)
                           .font(Font::system(14, Font::Weight::semibold))
                           .frame(kFillLeading)
                           .aspectRatio(std::nullopt, ContentMode::fill)
                           .minimumScaleFactor(0.5)
                           .lineLimit(1),
                       box(40, 40)}),
               {306, 120}, 14,
               "Keep track of your profits, losses and portfolio valuation. Start building your…",
               1, true, 0.5, 0.5, 258),
  };
  for (const TextCase& c : cases) {
    const PlacedView root = layoutView(c.view, c.offer);
    const auto texts = findPlaced(root, "Text");
    ASSERT_EQ(texts.size(), 1u) << c.name;
    const PlacedView& text = *texts.front();
    EXPECT_EQ(text.text, c.shown) << c.name;
    EXPECT_EQ(text.lineCount, c.lines) << c.name;
    EXPECT_EQ(text.truncated, c.truncated) << c.name;
    EXPECT_GE(text.fontScale, c.minScale) << c.name;
    EXPECT_LE(text.fontScale, c.maxScale) << c.name;
    EXPECT_LE(text.frame.size.width, c.maxWidth + 0.01) << c.name;
    EXPECT_TRUE(text.fontScale == 1 || c.truncated || text.frame.size.width > c.maxWidth - 0.01);
    EXPECT_NEAR(text.frame.size.height,
                c.lines * c.fontSize * detail::kLineHeightEm * text.fontScale, 0.01)
        << c.name;
  }
}

// A truncated text is a whole number of grapheme clusters, then "…": an
// emoji family or a letter with a combining accent is kept whole or left out.
TEST(LayoutTest, TruncationKeepsGraphemeClustersWhole) {
  const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
  const std::string accented = "e\u0301";
  for (const std::string& unit : {family, accented, family + accented}) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += unit + (i % 4 == 3 ? " " : "");
    for (int lines : {1, 2}) {
      for (double width : {60.0, 160.0}) {
        SCOPED_TRACE(text + " " + std::to_string(lines) + " " + std::to_string(width));
        const PlacedView root = layoutView(
            View(Text::verbatim(text).lineLimit(lines).frame(width, std::nullopt)), {300, 300});
        const std::string shown = findPlaced(root, "Text").front()->text;
        ASSERT_TRUE(shown.ends_with("…")) << shown;
        std::string kept = shown.substr(0, shown.size() - std::string("…").size());
        std::erase(kept, ' ');
        EXPECT_TRUE(width < 100 || !kept.empty()) << shown;
        std::string_view rest = kept;
        while (rest.starts_with(family) || rest.starts_with(accented))
          rest.remove_prefix(rest.starts_with(family) ? family.size() : accented.size());
        EXPECT_EQ(rest, "") << shown;
      }
    }
  }
}

TEST(LayoutTest, TrackingFollowsTheSystemFontsTable) {
  // Halfway between two sizes of the table, both rows show.
  const std::pair<double, double> rows[] = {
      {17, -0.43},   {22, -0.26},    {21, -0.355}, {4, 0.06},      {11, 0.06},    {12.5, -0.04},
      {90, 0.38},    {NAN, 0.06},    {11.5, 0.03}, {13.5, -0.115}, {14.5, -0.19}, {15.5, -0.27},
      {16.5, -0.37}, {17.5, -0.435}, {19, -0.445}, {23, -0.095},   {25, 0.145},   {27, 0.30}};
  for (auto [s, tracking] : rows) EXPECT_NEAR(detail::trackingForSize(s), tracking, 1e-9) << s;
}

TEST(LayoutTest, UnusableNumbersAndTextNeverMakeUnusableFrames) {
  const double nan = std::nan("");
  const View view = VStack(
      HorizontalAlignment::leading, nan,
      {View(Color::black()).frame(nan, kInfinity),
       View(Color::white()).padding(EdgeInsets{kInfinity, -kInfinity, nan, 1e300}),
       Text::verbatim("").frame(FlexFrame{.minWidth = nan, .maxWidth = -5}),
       Text::verbatim(std::string(100000, 'x')).minimumScaleFactor(nan).lineLimit(1).fixedSize(),
       Text::verbatim(kLongText).lineLimit(-3), Text::verbatim("\xff\xfe ok \xc3"),
       Text::verbatim(std::string("a\0b", 3)), Spacer(nan),
       View(Color::black()).aspectRatio(0.0, ContentMode::fill)});
  for (Size size : {Size{100, 100}, Size{nan, kInfinity}, Size{0, 0}, Size{-5, 1e308}}) {
    const std::string placed = frames(layoutView(view, size));
    EXPECT_EQ(placed.find("nan"), placed.npos) << placed;
  }
  const PlacedView root = layoutView(view, {300, 300});  // findPlaced points into it
  const auto texts = findPlaced(root, "Text");
  ASSERT_EQ(texts.size(), 5u);
  // Half a point is small, yet a size.
  EXPECT_LT(layoutView(Text::verbatim("x").font(Font::system(0.5)), {9, 9}).frame.size.height, 1);
  EXPECT_EQ(texts[1]->text.size(), 1024u);  // bounded
  EXPECT_GT(texts[2]->lineCount, 1);        // no limit
  EXPECT_EQ(texts[3]->text, "\xef\xbf\xbd\xef\xbf\xbd ok \xef\xbf\xbd");
  EXPECT_EQ(texts[4]->text, std::string("a\xef\xbf\xbd") + "b");
}

}  // namespace
}  // namespace platform::ui
