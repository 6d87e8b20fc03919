#include "platform/ui/text_engine.h"

#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <utility>

namespace platform::ui::detail {
namespace {

constexpr const char* kFontFamilies = "Inter, DejaVu Sans";
constexpr double kEpsilon = 0.01;        // points
constexpr double kMaxFontSize = 1000;    // points; keeps Pango units in range
constexpr double kMaxPangoLength = 1e6;  // points; wider counts as unlimited
// Far more than a widget can show. Both bounds keep a pathological text
// (one long word wrapped at a tiny width costs Pango time per line times
// length) to a few milliseconds.
constexpr std::size_t kMaxTextBytes = 1024;
constexpr int kMaxLines = 100;
constexpr const char* kEllipsis = "\u2026";

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectUnref>;

// One Pango context per thread, hinting off so that metrics scale linearly
// and a text measures the same at 1x and 3x.
class ThreadContext {
 public:
  ThreadContext() {
    context_ = pango_font_map_create_context(pango_cairo_font_map_get_default());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
  }
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;
  ~ThreadContext() { g_object_unref(context_); }
  PangoContext* get() const { return context_; }

 private:
  PangoContext* context_;
};

PangoContext* threadContext() {
  thread_local ThreadContext context;
  return context.get();
}

PangoWeight pangoWeight(Font::Weight weight) {
  // In the order of Font::Weight.
  static constexpr PangoWeight kWeights[] = {
      PANGO_WEIGHT_ULTRALIGHT, PANGO_WEIGHT_THIN,   PANGO_WEIGHT_LIGHT,
      PANGO_WEIGHT_NORMAL,     PANGO_WEIGHT_MEDIUM, PANGO_WEIGHT_SEMIBOLD,
      PANGO_WEIGHT_BOLD,       PANGO_WEIGHT_HEAVY,  PANGO_WEIGHT_ULTRAHEAVY};
  return kWeights[static_cast<std::size_t>(weight)];
}

double usableFontSize(const Font& font) {
  const double size = font.size();
  if (!std::isfinite(size) || size <= 0) return Font::body().size();
  return std::min(size, kMaxFontSize);
}

std::uint16_t channel16(double value) {
  if (!std::isfinite(value)) value = 0;
  return static_cast<std::uint16_t>(std::lround(std::clamp(value, 0.0, 1.0) * 65535));
}

std::string joined(const std::vector<StyledRun>& runs) {
  std::string text;
  for (const StyledRun& run : runs) text += run.text;
  return text;
}

double largestSize(const std::vector<StyledRun>& runs) {
  double size = 0;
  for (const StyledRun& run : runs) size = std::max(size, usableFontSize(run.font));
  return size > 0 ? size : Font::body().size();
}

double lineHeight(const std::vector<StyledRun>& runs, double scale) {
  return kLineHeightEm * largestSize(runs) * scale;
}

// A layout of `runs` with fonts at `scale` x their size; colours only when
// drawing. A `wrapWidth` wraps at words (inside one wider than a line);
// `maxLines` > 0 ellipsizes the last.
LayoutPtr makeLayout(const std::vector<StyledRun>& runs, double scale,
                     std::optional<double> wrapWidth, int maxLines,
                     std::optional<ColorScheme> colors) {
  LayoutPtr layout(pango_layout_new(threadContext()));
  const std::string text = joined(runs);
  pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));
  PangoAttrList* attributes = pango_attr_list_new();
  guint start = 0;
  for (const StyledRun& run : runs) {
    const guint end = start + static_cast<guint>(run.text.size());
    const double size = usableFontSize(run.font) * scale;
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, kFontFamilies);
    pango_font_description_set_weight(description, pangoWeight(run.font.weight()));
    pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
    std::array<PangoAttribute*, 4> list{
        pango_attr_font_desc_new(description),
        pango_attr_letter_spacing_new(static_cast<int>(
            std::lround(trackingForSize(usableFontSize(run.font)) * scale * PANGO_SCALE))),
        nullptr, nullptr};
    pango_font_description_free(description);
    if (colors) {
      const Rgba rgba = run.color.resolve(*colors);
      list[2] = pango_attr_foreground_new(channel16(rgba.red), channel16(rgba.green),
                                          channel16(rgba.blue));
      list[3] =
          pango_attr_foreground_alpha_new(std::max<std::uint16_t>(1, channel16(rgba.opacity)));
    }
    for (PangoAttribute* attribute : list) {
      if (attribute == nullptr) continue;
      attribute->start_index = start;
      attribute->end_index = end;
      pango_attr_list_insert(attributes, attribute);
    }
    start = end;
  }
  pango_layout_set_attributes(layout.get(), attributes);
  pango_attr_list_unref(attributes);
  if (wrapWidth) {
    pango_layout_set_width(layout.get(), static_cast<int>(*wrapWidth * PANGO_SCALE));
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    pango_layout_set_height(layout.get(),
                            -(maxLines > 0 ? std::min(maxLines, kMaxLines) : kMaxLines));
  }
  return layout;
}

struct Measure {
  double width;  // widest line, points
  int lines;
  bool ellipsized;
};

Measure measure(PangoLayout* layout) {
  const int count = pango_layout_get_line_count(layout);
  double width = 0;
  for (int i = 0; i < count; ++i) {
    PangoRectangle logical;
    pango_layout_line_get_extents(pango_layout_get_line_readonly(layout, i), nullptr, &logical);
    width = std::max(width, static_cast<double>(logical.width) / PANGO_SCALE);
  }
  return {width, count, pango_layout_is_ellipsized(layout) != 0};
}

double singleLineWidth(const std::vector<StyledRun>& runs, double scale) {
  return measure(makeLayout(runs, scale, std::nullopt, 0, std::nullopt).get()).width;
}

// The first `bytes` of the runs, then an ellipsis in the last kept run's style.
std::vector<StyledRun> prefixWithEllipsis(const std::vector<StyledRun>& runs, std::size_t bytes) {
  std::vector<StyledRun> out;
  std::size_t taken = 0;
  for (const StyledRun& run : runs) {
    if (taken >= bytes && !out.empty()) break;
    StyledRun part = run;
    part.text = run.text.substr(0, bytes - taken);
    taken += part.text.size();
    out.push_back(std::move(part));
  }
  if (out.empty()) out.push_back(StyledRun{});
  // No dangling space before the ellipsis.
  std::string& last = out.back().text;
  while (!last.empty() && (last.back() == ' ' || last.back() == '\t')) last.pop_back();
  last += kEllipsis;
  return out;
}

// Cursor positions (byte offsets) where the text may be cut: grapheme
// cluster boundaries, first and last excluded.
std::vector<std::size_t> cutPoints(const std::string& text) {
  std::vector<std::size_t> cuts;
  const glong characters = g_utf8_strlen(text.data(), static_cast<gssize>(text.size()));
  std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(characters) + 1);
  pango_get_log_attrs(text.data(), static_cast<int>(text.size()), -1,
                      pango_language_from_string("en"), attrs.data(),
                      static_cast<int>(attrs.size()));
  const char* p = text.data();
  for (glong i = 1; i < characters; ++i) {
    p = g_utf8_next_char(p);
    if (attrs[static_cast<std::size_t>(i)].is_cursor_position) {
      cuts.push_back(static_cast<std::size_t>(p - text.data()));
    }
  }
  return cuts;
}

// Where to cut `text` for the longest prefix that `fits` with its ellipsis;
// 0 when none does. A longer prefix never fits where a shorter one did not,
// so the fitting cuts come first.
std::size_t longestFittingCut(const std::string& text,
                              const std::function<bool(std::size_t)>& fits) {
  const std::vector<std::size_t> cuts = cutPoints(text);
  const auto end = std::partition_point(cuts.begin(), cuts.end(), fits);
  return end == cuts.begin() ? 0 : *std::prev(end);
}

TextFit fitSingleLine(const std::vector<StyledRun>& input, const TextStyle& style,
                      ProposedSize proposal) {
  std::vector<StyledRun> runs = input;
  for (StyledRun& run : runs)
    std::replace_if(
        run.text.begin(), run.text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  TextFit fit;
  fit.lineCount = 1;
  fit.maxLines = 1;
  const double width = proposal.width.value_or(kInfinity);
  const double naturalWidth = singleLineWidth(runs, 1);
  const double naturalHeight = lineHeight(runs, 1);
  if (naturalWidth <= width + kEpsilon) {
    fit.size = {naturalWidth, naturalHeight};
    fit.shownText = joined(runs);
    fit.runs = std::move(runs);
    return fit;
  }
  const double floor = style.minimumScaleFactor;
  double scale = std::max(floor, width / naturalWidth);
  for (int attempt = 0; attempt < 5 && scale > floor; ++attempt) {
    const double scaled = singleLineWidth(runs, scale);
    if (scaled <= width + kEpsilon) {
      fit.scale = scale;
      fit.size = {std::min(scaled, width), naturalHeight * scale};
      fit.shownText = joined(runs);
      fit.runs = std::move(runs);
      return fit;
    }
    scale = std::max(floor, scale * width / scaled * 0.999);
  }
  // Still too wide at the smallest size: cut at the last cluster that leaves
  // room for the ellipsis.
  scale = floor;
  fit.scale = scale;
  const double scaledWidth = singleLineWidth(runs, scale);
  if (scaledWidth <= width + kEpsilon) {  // the floor itself fits after all
    fit.size = {std::min(scaledWidth, width), naturalHeight * scale};
    fit.shownText = joined(runs);
    fit.runs = std::move(runs);
    return fit;
  }
  fit.truncated = true;
  const std::size_t cut = longestFittingCut(joined(runs), [&](std::size_t bytes) {
    return singleLineWidth(prefixWithEllipsis(runs, bytes), scale) <= width + kEpsilon;
  });
  std::vector<StyledRun> shown = prefixWithEllipsis(runs, cut);
  const double shownWidth = singleLineWidth(shown, scale);
  // Not even the ellipsis fits: draw nothing (no text, no runs).
  if (shownWidth > width + kEpsilon) {
    fit.size = {0, naturalHeight * scale};
    return fit;
  }
  fit.size = {std::min(shownWidth, width), naturalHeight * scale};
  fit.shownText = joined(shown);
  fit.runs = std::move(shown);
  return fit;
}

TextFit fitLines(const std::vector<StyledRun>& runs, const TextStyle& style,
                 ProposedSize proposal) {
  TextFit fit;
  fit.runs = runs;
  fit.shownText = joined(runs);
  const double oneLine = lineHeight(runs, 1);
  if (proposal.width && *proposal.width < kMaxPangoLength) {
    fit.wrapWidth = std::max(0.0, *proposal.width);
  }
  int maxLines = style.lineLimit.value_or(0);
  Measure m = measure(makeLayout(runs, 1, fit.wrapWidth, 0, std::nullopt).get());
  if (proposal.height && std::isfinite(*proposal.height) &&
      m.lines * oneLine > *proposal.height + kEpsilon) {
    const int fitting =
        std::max(1, static_cast<int>(std::floor(*proposal.height / oneLine + 1e-6)));
    maxLines = maxLines > 0 ? std::min(maxLines, fitting) : fitting;
  }
  if (maxLines > 0 && m.lines > maxLines) {
    // The longest prefix, cut at a cluster boundary, that fits the lines
    // with its ellipsis: what is measured is what is drawn and reported.
    const auto fits = [&](std::size_t bytes) {
      const Measure cut = measure(
          makeLayout(prefixWithEllipsis(runs, bytes), 1, fit.wrapWidth, 0, std::nullopt).get());
      return cut.lines <= maxLines && !cut.ellipsized;
    };
    fit.runs = prefixWithEllipsis(runs, longestFittingCut(fit.shownText, fits));
    fit.shownText = joined(fit.runs);
    fit.maxLines = maxLines;
    m = measure(makeLayout(fit.runs, 1, fit.wrapWidth, maxLines, std::nullopt).get());
    m.lines = std::min(m.lines, maxLines);
    fit.truncated = true;
  }
  fit.truncated = fit.truncated || m.ellipsized;
  fit.lineCount = m.lines;
  double width = m.width;
  if (fit.wrapWidth) width = std::min(width, *fit.wrapWidth);
  fit.size = {width, m.lines * oneLine};
  return fit;
}

}  // namespace

double trackingForSize(double size) {
  // The system font's tracking table in points, between the listed sizes
  // linearly; held constant past either end.
  static constexpr std::array<std::pair<double, double>, 13> kTable{{{11, 0.06},
                                                                     {12, 0.0},
                                                                     {13, -0.08},
                                                                     {14, -0.15},
                                                                     {15, -0.23},
                                                                     {16, -0.31},
                                                                     {17, -0.43},
                                                                     {18, -0.44},
                                                                     {20, -0.45},
                                                                     {22, -0.26},
                                                                     {24, 0.07},
                                                                     {26, 0.22},
                                                                     {28, 0.38}}};
  if (!std::isfinite(size) || size <= kTable.front().first) return kTable.front().second;
  if (size >= kTable.back().first) return kTable.back().second;
  // The first size after the table's first at or above `size` (at most its
  // last), and the one before it.
  const auto upper = std::lower_bound(std::next(kTable.begin()), std::prev(kTable.end()),
                                      std::pair(size, -std::numeric_limits<double>::infinity()));
  const auto [s0, t0] = *std::prev(upper);
  const auto [s1, t1] = *upper;
  return t0 + (t1 - t0) * (size - s0) / (s1 - s0);
}

std::vector<StyledRun> prepareRuns(std::vector<StyledRun> runs) {
  std::size_t budget = kMaxTextBytes;
  std::vector<StyledRun> out;
  for (StyledRun& run : runs) {
    if (budget == 0) break;
    // Invalid UTF-8, and an embedded NUL (which would end the text early
    // inside Pango), become U+FFFD.
    if (!g_utf8_validate(run.text.data(), static_cast<gssize>(run.text.size()), nullptr)) {
      gchar* valid = g_utf8_make_valid(run.text.data(), static_cast<gssize>(run.text.size()));
      run.text = valid;
      g_free(valid);
    }
    if (run.text.size() > budget) {
      std::size_t cut = budget;  // back up to the start of a character
      while (cut > 0 && (static_cast<unsigned char>(run.text[cut]) & 0xC0) == 0x80) --cut;
      run.text.resize(cut);
    }
    budget -= std::min(budget, run.text.size());
    if (!run.text.empty()) out.push_back(std::move(run));
  }
  return out;
}

TextFit fitText(const std::vector<StyledRun>& runs, const TextStyle& style, ProposedSize proposal) {
  if (proposal.width && (std::isnan(*proposal.width) || *proposal.width < 0)) proposal.width = 0.0;
  if (proposal.height && (std::isnan(*proposal.height) || *proposal.height < 0)) {
    proposal.height = 0.0;
  }
  if (runs.empty()) return TextFit{};
  if (style.lineLimit && *style.lineLimit == 1) return fitSingleLine(runs, style, proposal);
  return fitLines(runs, style, proposal);
}

void drawText(cairo_t* cr, const TextFit& fit, const TextStyle& style, const Rect& frame,
              ColorScheme scheme) {
  if (fit.runs.empty() || fit.lineCount == 0) return;
  LayoutPtr layout =
      makeLayout(fit.runs, fit.scale, fit.maxLines == 1 ? std::nullopt : fit.wrapWidth,
                 fit.maxLines == 1 ? 0 : fit.maxLines, scheme);
  const double height = lineHeight(fit.runs, fit.scale);
  const double baseline = kBaselineEm * largestSize(fit.runs) * fit.scale;
  const int count = std::min(pango_layout_get_line_count(layout.get()), fit.lineCount);
  for (int i = 0; i < count; ++i) {
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout.get(), i);
    PangoRectangle logical;
    pango_layout_line_get_extents(line, nullptr, &logical);
    const double lineWidth = static_cast<double>(logical.width) / PANGO_SCALE;
    double x = frame.origin.x - static_cast<double>(logical.x) / PANGO_SCALE;
    const double slack = frame.size.width - lineWidth;
    if (style.alignment == TextAlignment::center) x += slack / 2;
    if (style.alignment == TextAlignment::trailing) x += slack;
    cairo_move_to(cr, x, frame.origin.y + baseline + i * height);
    pango_cairo_show_layout_line(cr, line);
  }
}

}  // namespace platform::ui::detail
