#pragma once

// Points, sizes and rectangles in points, AppKit's bottom-left origin.
namespace tovik {

struct CGPoint {
  double x = 0;
  double y = 0;
  friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
  double width = 0;
  double height = 0;
  friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
  CGPoint origin;
  CGSize size;
  friend bool operator==(const CGRect&, const CGRect&) = default;

  [[nodiscard]] double minX() const { return origin.x; }
  [[nodiscard]] double minY() const { return origin.y; }
  [[nodiscard]] double maxX() const { return origin.x + size.width; }
  [[nodiscard]] double maxY() const { return origin.y + size.height; }
};

// NSMouseInRect: whether a click at `p` falls in `rect`, judged as the user
// sees the rectangle in a coordinate system that is `flipped` (y grows
// downwards) or not. The edge the user sees at the top is inside and the
// one at the bottom outside; the left edge is inside and the right one
// outside. Unflipped, minY is the bottom edge: (minY, maxY]. Flipped, minY
// is the top edge: [minY, maxY), which is NSPointInRect's answer.
[[nodiscard]] inline bool NSMouseInRect(CGPoint p, const CGRect& rect, bool flipped) {
  if (p.x < rect.minX() || p.x >= rect.maxX()) return false;
  return flipped ? p.y >= rect.minY() && p.y < rect.maxY()
                 : p.y > rect.minY() && p.y <= rect.maxY();
}

}  // namespace tovik
