#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation.h"
#include "platform/window.h"

// A picture of where clicks land on a titled window's titlebar strip and the
// top of its content, before and after the plug-in configures the window as
// the main window: every whole point coloured by the view its frame view's
// hitTest: gives, as a click there would.
namespace tovik {

// The labels of the two answers that are not a view's class name.
inline constexpr std::string_view kHostContentLabel = "host content";
inline constexpr std::string_view kNoViewLabel = "no view";

// The answers of a window's frame view across the top of the window, one per
// whole point in window coordinates: column c is x = c, row r is
// y = height - r, so row 0 is the window's top edge.
struct HitGrid {
  int columns = 0;
  int rows = 0;
  double stripHeight = 0;           // the titlebar strip's, in points
  std::vector<std::string> labels;  // row by row from the top

  [[nodiscard]] const std::string& at(int column, int row) const {
    return labels.at(static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(column));
  }
};

// Asks the window's frame view at every whole point of its top `rows` points.
// The host's content view is labelled kHostContentLabel, no view
// kNoViewLabel, any other view by its run-time class name.
HitGrid sampleHits(Window* window, int rows);

struct ClickMapOptions {
  int width = 900;          // the window's width in points
  bool toolbar = false;     // attach a host toolbar with two items first
  bool fullscreen = false;  // toggle full screen before the "after" sampling
  std::string file;         // the PNG to write
};

// The arguments after "clickmap": [--width W] [--toolbar] [--fullscreen]
// FILE.png. Nothing for arguments that make no sense (a width that is not a
// whole number from kMinWidth to kMaxWidth, an unknown option, no file or two).
inline constexpr int kClickMapMinWidth = 120;
inline constexpr int kClickMapMaxWidth = 4096;
std::optional<ClickMapOptions> parseClickMapArguments(std::span<const std::string_view> args);
inline constexpr const char* kClickMapUsage =
    "usage: tovik-host clickmap [--width W] [--toolbar] [--fullscreen] FILE.png\n"
    "  W: the window's width, a whole number of points from 120 to 4096 (default 900)\n";

// The window's height, and its top rows, in points, that the picture shows.
inline constexpr double kClickMapWindowHeight = 600;
inline constexpr int kClickMapRows = 80;

// A host view of the strip: its class name and its frame in window
// coordinates, outlined in both halves so that one which gives way is still
// seen where it lies.
struct HostViewOutline {
  std::string name;
  CGRect frame;
};

struct ClickMapSamples {
  HitGrid before;
  HitGrid after;
  double windowHeight = 0;
  std::vector<HostViewOutline> hostViews;
};

// Creates a titled window as the options say, with two host views in its
// strip (HostSearchField and HostToolbarButton), samples it, has `plugin`
// configure it as the main window (running the main queue), samples it again
// and closes it.
ClickMapSamples sampleClickMaps(Object* plugin, const ClickMapOptions& options);

struct Rgb {
  double r = 0;
  double g = 0;
  double b = 0;
};

// A label's colour: a fixed table for the window chrome's classes, the host
// content and no view; a hash of the name for any other class. The same in
// every run.
Rgb clickMapColour(std::string_view label);

// Where the picture puts the point (column, row) of a half: each point is a
// kClickMapScale-pixel square, the halves side by side under a title line
// and their captions, each with a ruler beneath it.
inline constexpr int kClickMapScale = 2;
struct PixelPoint {
  int x = 0;
  int y = 0;
};
PixelPoint clickMapPixel(const ClickMapSamples& samples, bool after, int column, int row);

// Draws the two halves with their captions (the strip's height), a dashed
// line at each strip's lower edge, a ruler in points under each, a title
// saying what part of which window is shown, a note on what configuring
// changed, and a legend of labels, to a PNG file.
bool drawClickMap(const ClickMapSamples& samples, const std::string& path);

// sampleClickMaps and drawClickMap to options.file; whether the file was
// written.
bool renderClickMap(Object* plugin, const ClickMapOptions& options);

}  // namespace tovik
