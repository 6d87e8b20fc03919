// Sample view trees shaped like the home-screen widgets (a balance with its
// change and a percent pill beside an icon; an empty state with a symbol),
// built only from this toolkit, for the toolkit's own tests and benchmarks.
// Plain functions returning values; any thread.
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

#include "platform/ui/image.h"
#include "platform/ui/image_assets.h"
#include "platform/ui/text.h"
#include "platform/ui/view.h"

namespace platform::ui::mockups {

// Registers a sample icon (a gradient square with a ring, 120 px for @3x)
// under `name` and returns the name.
inline std::string registerSampleIcon(std::string name = "sample-icon") {
  static const std::string bytes = [] {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 120);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 120, 120);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.9, 0.3, 0.2);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.95, 0.7, 0.1);
    cairo_set_source(cr, gradient);
    cairo_paint(cr);
    cairo_pattern_destroy(gradient);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 12);
    cairo_arc(cr, 60, 60, 30, 0, 6.2832);
    cairo_stroke(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* out, const unsigned char* data, unsigned int length) {
          static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(data), length);
          return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(surface);
    return png;
  }();
  registerImageAsset(name, bytes, 3);
  return name;
}

inline Color rgb8(int red, int green, int blue) {
  return Color(red / 255.0, green / 255.0, blue / 255.0);
}
inline Color gain() { return rgb8(35, 171, 108); }
inline Color primaryText() { return Color::dynamic(rgb8(29, 30, 31), Color::white()); }
inline Color secondaryText() { return Color::dynamic(rgb8(147, 154, 164), Color::gray()); }
inline Color background() { return Color::dynamic(Color::white(), Color::black()); }
inline Color accent() { return rgb8(0, 122, 255); }

inline const FlexFrame kFillLeading{
    .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::leading};
inline const FlexFrame kFillCentre{
    .maxWidth = kInfinity, .maxHeight = kInfinity, .alignment = Alignment::center};

// A one-line text that takes its row's width and shrinks to half before it
// truncates.
inline View rowText(const Text& text, const Color& color) {
  return text.frame(kFillLeading)
      .foregroundColor(color)
      .aspectRatio(std::nullopt, ContentMode::fill)
      .minimumScaleFactor(0.5)
      .lineLimit(1);
}

inline View changeLine(const std::string& label) {
  return rowText(Text::verbatim(label).font(Font::system(14, Font::Weight::semibold)), gain());
}

inline View percentPill(const std::string& label) {
  const Font font = Font::system(14, Font::Weight::semibold);
  return (Text::verbatim(label).font(font) + Text(LocalizedStringKey("%")).font(font))
      .padding(EdgeInsets{6, 8, 6, 8})
      .background(gain())
      .clipShape(RoundedRectangle{8})
      .aspectRatio(std::nullopt, ContentMode::fill)
      .minimumScaleFactor(0.5)
      .lineLimit(1)
      .foregroundColor(Color::white());
}

inline View widgetRoot(const View& content) {
  return content.widgetURL("example-widget://open").containerBackground(Color::clear());
}

// The medium widget with a balance; `iconAsset` names the icon's image asset.
inline View mediumBalance(const std::string& balance, const std::string& iconAsset) {
  const View header = HStack(
      VerticalAlignment::center, 8,
      {rowText(Text::verbatim("Current Balance").font(Font::system(14, Font::Weight::semibold)),
               primaryText()),
       Image(iconAsset)
           .resizable()
           .aspectRatio(std::nullopt, ContentMode::fit)
           .frame(40, 40)
           .clipShape(RoundedRectangle{8})});
  const View figures = HStack(VerticalAlignment::center, 8,
                              {VStack(HorizontalAlignment::leading, 10,
                                      {rowText(Text(LocalizedStringKey("$%@", {balance}))
                                                   .font(Font::system(22, Font::Weight::bold)),
                                               primaryText()),
                                       changeLine("$345.68\u2191 (24h)")}),
                               percentPill("\u21912.88")});
  return widgetRoot(ConditionalContent::first(
      VStack(HorizontalAlignment::leading, 10, {Spacer(), header, figures, Spacer()})
          .frame(kFillLeading)
          .padding(EdgeInsets{20, 16, 20, 16})
          .background(background())));
}

// The small widget's empty state: a plus symbol and a short text, centred.
inline View smallEmpty() {
  return widgetRoot(
      ConditionalContent::second(HStack(VerticalAlignment::center, 4,
                                        {Image::systemName("plus.circle.fill")
                                             .resizable()
                                             .frame(16, 16)
                                             .foregroundColor(accent()),
                                         Text::verbatim("Add portfolio")
                                             .font(Font::system(14))
                                             .multilineTextAlignment(TextAlignment::center)
                                             .foregroundColor(accent())})
                                     .frame(kFillCentre)
                                     .background(background())));
}

// The medium widget's empty state: title, wrapped sentence, button label.
inline View mediumEmpty() {
  const View title = Text::verbatim("Your portfolio is empty")
                         .foregroundColor(primaryText())
                         .font(Font::system(15, Font::Weight::semibold))
                         .frame(kFillCentre);
  const View sentence =
      Text::verbatim(
          "Keep track of your profits, losses and portfolio valuation. Start building "
          "your portfolio today.")
          .foregroundColor(secondaryText())
          .font(Font::system(14))
          .multilineTextAlignment(TextAlignment::center)
          .fixedSize(false, true);
  const View button = Text::verbatim("Add New Asset")
                          .foregroundColor(Color::white())
                          .font(Font::system(14, Font::Weight::semibold))
                          .frame(FlexFrame{.maxWidth = kInfinity})
                          .padding(EdgeInsets{4, 4, 4, 4}, EdgeSet::top | EdgeSet::bottom)
                          .background(rgb8(12, 125, 251))
                          .clipShape(RoundedRectangle{8});
  return widgetRoot(ConditionalContent::second(
      HStack(VerticalAlignment::center, std::nullopt,
             {VStack(HorizontalAlignment::center, 8, {title, sentence, button})})
          .frame(kFillCentre)
          .padding(EdgeInsets{20, 10, 20, 10})
          .background(background())));
}

}  // namespace platform::ui::mockups
