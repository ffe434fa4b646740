#include "host/click_map.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>

#include "platform/main_queue.h"
#include "platform/toolbar.h"
#include "platform/view.h"

namespace tovik {

namespace {

// The host toolbar's two items, each showing a view of a host class so that
// the legend names them.
constexpr std::array<std::pair<const char*, CGSize>, 2> kHostItems{
    {{"HostSearchField", {120, 22}}, {"HostShareButton", {32, 22}}}};

Class* hostViewClass(const char* name) {
  if (Class* existing = objc_getClass(name)) return existing;
  Class* cls = objc_allocateClassPair(View::runtimeClass(), name);
  objc_registerClassPair(cls);
  return cls;
}

// A toolbar delegate as a host writes one: it names its items and makes each
// when the toolbar asks.
Class* hostToolbarDelegateClass() {
  static Class* const cls = [] {
    Class* c = objc_allocateClassPair(Object::runtimeClass(), "HostClickMapToolbarDelegate");
    addMethod(c, "toolbarDefaultItemIdentifiers:", [](Object*, Toolbar*) {
      std::vector<Ref<Object>> identifiers;
      identifiers.reserve(kHostItems.size());
      for (const auto& [name, size] : kHostItems) identifiers.push_back(str(name));
      return Array::make(std::move(identifiers));
    });
    addMethod(c, "toolbar:itemForItemIdentifier:willBeInsertedIntoToolbar:",
              [](Object*, Toolbar*, String* identifier, bool) -> Ref<ToolbarItem> {
                for (const auto& [name, size] : kHostItems) {
                  if (identifier->utf8() != name) continue;
                  auto item = make<ToolbarItem>();
                  item->initWithItemIdentifier(identifier);
                  item->setView(View::withFrame(hostViewClass(name), {{0, 0}, size}).get());
                  return item;
                }
                return nullptr;
              });
    objc_registerClassPair(c);
    return c;
  }();
  return cls;
}

std::optional<int> parseWidth(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < kClickMapMinWidth || value > kClickMapMaxWidth) return std::nullopt;
  return value;
}

// FNV-1a: a hash that is the same in every run and on every machine.
std::uint32_t stableHash(std::string_view text) {
  std::uint32_t hash = 2166136261U;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619U;
  }
  return hash;
}

Rgb fromHsv(double hue, double saturation, double value) {
  const double c = value * saturation;
  const double h = hue * 6;
  const double x = c * (1 - std::fabs(std::fmod(h, 2) - 1));
  const double m = value - c;
  const std::array<Rgb, 6> sectors{
      {{c, x, 0}, {x, c, 0}, {0, c, x}, {0, x, c}, {x, 0, c}, {c, 0, x}}};
  const Rgb s = sectors.at(static_cast<std::size_t>(std::clamp(h, 0.0, 5.999)));
  return {s.r + m, s.g + m, s.b + m};
}

constexpr int kMargin = 12;
constexpr int kCaptionHeight = 22;
constexpr int kHalfGap = 24;
constexpr int kLegendGap = 16;
constexpr int kLegendLine = 20;
constexpr int kSwatch = 14;
constexpr int kMinImageWidth = 320;

int halfLeft(const ClickMapSamples& samples, bool after) {
  return after ? kMargin + samples.before.columns * kClickMapScale + kHalfGap : kMargin;
}

// The labels in the order the picture first meets them, for the legend.
std::vector<std::string> legendLabels(const ClickMapSamples& samples) {
  std::vector<std::string> labels;
  for (const HitGrid* grid : {&samples.before, &samples.after}) {
    for (const std::string& label : grid->labels) {
      if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
    }
  }
  return labels;
}

void setColour(cairo_t* cr, const Rgb& colour) {
  cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
}

// One filled rectangle per run of equal answers along a row of points.
void drawGrid(cairo_t* cr, const HitGrid& grid, int left, int top) {
  for (int row = 0; row < grid.rows; ++row) {
    int start = 0;
    for (int column = 1; column <= grid.columns; ++column) {
      if (column < grid.columns && grid.at(column, row) == grid.at(start, row)) continue;
      setColour(cr, clickMapColour(grid.at(start, row)));
      cairo_rectangle(cr, left + start * kClickMapScale, top + row * kClickMapScale,
                      (column - start) * kClickMapScale, kClickMapScale);
      cairo_fill(cr);
      start = column;
    }
  }
}

void drawText(cairo_t* cr, double x, double y, const std::string& text) {
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

}  // namespace

HitGrid sampleHits(Window* window, int rows) {
  View* contentView = window->contentView();
  View* frameView = contentView->superview();
  const double height = window->frame().size.height;
  HitGrid grid;
  grid.columns = static_cast<int>(window->frame().size.width);
  grid.rows = std::min(rows, static_cast<int>(height));
  grid.labels.reserve(static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows));
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      // The frame view has no superview: its frame is the window's bounds,
      // which is where a click's window coordinates are.
      const Ref<View> hit = frameView->hitTest({static_cast<double>(column), height - row});
      grid.labels.emplace_back(hit == nullptr             ? std::string(kNoViewLabel)
                               : hit.get() == contentView ? std::string(kHostContentLabel)
                                                          : hit->isa()->name());
    }
  }
  return grid;
}

std::optional<ClickMapOptions> parseClickMapArguments(std::span<const std::string_view> args) {
  ClickMapOptions options;
  bool haveFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--width") {
      if (i + 1 == args.size()) return std::nullopt;
      const std::optional<int> width = parseWidth(args[++i]);
      if (!width) return std::nullopt;
      options.width = *width;
    } else if (arg == "--toolbar") {
      options.toolbar = true;
    } else if (arg == "--fullscreen") {
      options.fullscreen = true;
    } else if (arg.starts_with("-") || haveFile || arg.empty()) {
      return std::nullopt;
    } else {
      options.file = std::string(arg);
      haveFile = true;
    }
  }
  if (!haveFile) return std::nullopt;
  return options;
}

ClickMapSamples sampleClickMaps(Object* plugin, const ClickMapOptions& options) {
  constexpr double kWindowHeight = 600;
  auto window = Window::create({{0, 0}, {static_cast<double>(options.width), kWindowHeight}});
  window->setIdentifier(str("clickmap").get());
  window->makeKeyAndOrderFront(nullptr);
  // The toolbar keeps its delegate weakly; the host holds it until the end.
  Ref<Object> delegate;
  if (options.toolbar) {
    delegate = class_createInstance(hostToolbarDelegateClass());
    auto toolbar = make<Toolbar>();
    toolbar->initWithIdentifier(str("host.clickmap.toolbar").get());
    toolbar->setDelegate(delegate.get());
    window->setToolbar(toolbar.get());
  }
  ClickMapSamples samples;
  samples.before = sampleHits(window.get(), kClickMapRows);
  send<void>(plugin, "configureMainWindowTitlebarWithWindowIdentifier:", str("clickmap").get());
  MainQueue::main().runUntilIdle();
  if (options.fullscreen) {
    window->toggleFullScreen(nullptr);
    // Past the plug-in's delayed refreshes after the transition.
    MainQueue::main().runFor(seconds(1.1));
  }
  samples.after = sampleHits(window.get(), kClickMapRows);
  window->close();
  MainQueue::main().runUntilIdle();
  return samples;
}

Rgb clickMapColour(std::string_view label) {
  struct Known {
    std::string_view label;
    Rgb colour;
  };
  static constexpr std::array<Known, 13> kKnown{{
      {kHostContentLabel, {0.55, 0.78, 0.96}},
      {kNoViewLabel, {0.20, 0.20, 0.20}},
      {"_NSThemeCloseWidget", {0.93, 0.33, 0.31}},
      {"_NSThemeWidget", {0.96, 0.75, 0.25}},
      {"_NSThemeZoomWidget", {0.38, 0.77, 0.33}},
      {"NSThemeFrame", {0.60, 0.60, 0.62}},
      {"NSTitlebarContainerView", {0.72, 0.66, 0.86}},
      {"NSTitlebarView", {0.85, 0.85, 0.80}},
      {"_NSTitlebarDecorationView", {0.70, 0.70, 0.56}},
      {"NSVisualEffectView", {0.80, 0.90, 0.86}},
      {"NSToolbarView", {0.95, 0.60, 0.80}},
      {"NSToolbarItemViewer", {0.58, 0.42, 0.74}},
      {"NSButton", {0.90, 0.52, 0.20}},
  }};
  for (const Known& known : kKnown) {
    if (known.label == label) return known.colour;
  }
  const std::uint32_t hash = stableHash(label);
  constexpr double kHueSteps = 360;
  return fromHsv(static_cast<double>(hash % 360U) / kHueSteps,
                 0.45 + 0.1 * static_cast<double>((hash >> 9U) % 4U),
                 0.6 + 0.1 * static_cast<double>((hash >> 11U) % 3U));
}

PixelPoint clickMapPixel(const ClickMapSamples& samples, bool after, int column, int row) {
  return {halfLeft(samples, after) + column * kClickMapScale + kClickMapScale / 2,
          kMargin + kCaptionHeight + row * kClickMapScale + kClickMapScale / 2};
}

bool drawClickMap(const ClickMapSamples& samples, const std::string& path) {
  const std::vector<std::string> labels = legendLabels(samples);
  const int mapsBottom =
      kMargin + kCaptionHeight + std::max(samples.before.rows, samples.after.rows) * kClickMapScale;
  const int width = std::max(
      kMinImageWidth, halfLeft(samples, true) + samples.after.columns * kClickMapScale + kMargin);
  const int height =
      mapsBottom + kLegendGap + static_cast<int>(labels.size()) * kLegendLine + kMargin;
  const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), &cairo_surface_destroy);
  const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()),
                                                                   &cairo_destroy);
  cairo_t* cr = context.get();
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);

  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 13);
  const int mapsTop = kMargin + kCaptionHeight;
  constexpr int kBaselineAbove = 7;
  drawText(cr, halfLeft(samples, false), mapsTop - kBaselineAbove, "before configuring");
  drawText(cr, halfLeft(samples, true), mapsTop - kBaselineAbove, "after configuring");
  drawGrid(cr, samples.before, halfLeft(samples, false), mapsTop);
  drawGrid(cr, samples.after, halfLeft(samples, true), mapsTop);

  int y = mapsBottom + kLegendGap;
  for (const std::string& label : labels) {
    setColour(cr, clickMapColour(label));
    cairo_rectangle(cr, kMargin, y, kSwatch, kSwatch);
    cairo_fill(cr);
    drawText(cr, kMargin + kSwatch + 8, y + kSwatch - 2, label);
    y += kLegendLine;
  }
  return cairo_status(cr) == CAIRO_STATUS_SUCCESS &&
         cairo_surface_write_to_png(surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool renderClickMap(Object* plugin, const ClickMapOptions& options) {
  return drawClickMap(sampleClickMaps(plugin, options), options.file);
}

}  // namespace tovik
