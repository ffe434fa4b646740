#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/geometry.h"
#include "platform/window.h"

// A plain C++ model of a window's view tree and of the titlebar hit test, for
// measuring the real one against: the same tree (copied from a real window,
// so it cannot drift), the same search and the same answers, with plain
// structs, virtual calls and borrowed pointers in place of the runtime's
// messages and reference counts.
namespace tovik::bench {

// A view class as the model knows it: its name and, for the install walk,
// whether that name holds "titlebar" or "toolbar" (tested once per class)
// and whether its hit test has been replaced.
struct ModelClass {
  std::string name;
  bool nameTested = false;
  bool nameMatches = false;
  bool hitTestReplaced = false;
};

class ModelView;

// What the titlebar hit test asks of a window: its identifier (the form the
// plug-in keys windows by) and its three standard buttons.
struct ModelWindow {
  bool hasIdentifier = false;
  std::string identifier;
  std::array<const ModelView*, 3> buttons{};
  // The configured main windows' identifiers.
  const std::unordered_set<std::string>* configured = nullptr;

  // Whether `view` is one of the buttons or lies inside one.
  [[nodiscard]] bool isStandardButtonView(const ModelView* view) const;
};

// A view: frame in its superview's coordinates, hidden flag, whether it is
// flipped (as its class answered isFlipped when the tree was copied), class
// and subviews back to front.
class ModelView {
 public:
  ModelView(ModelClass* cls, CGRect frame, bool hidden, bool flipped, const ModelWindow* window)
      : cls_(cls), frame_(frame), hidden_(hidden), flipped_(flipped), window_(window) {}
  virtual ~ModelView() = default;
  ModelView(const ModelView&) = delete;
  ModelView& operator=(const ModelView&) = delete;

  // hitTest: with the point in the superview's coordinates.
  virtual ModelView* hitTest(CGPoint pointInSuperview);
  // NSView's search: hidden or outside the frame gives none; else the
  // subviews from the topmost down, the first answer winning; else itself.
  // The frame's edges are NSMouseInRect's under the superview's flippedness.
  ModelView* defaultHitTest(CGPoint pointInSuperview);

  ModelView* addSubview(std::unique_ptr<ModelView> view);
  [[nodiscard]] ModelClass* modelClass() const { return cls_; }
  [[nodiscard]] const CGRect& frame() const { return frame_; }
  [[nodiscard]] const ModelView* superview() const { return superview_; }
  [[nodiscard]] const std::vector<std::unique_ptr<ModelView>>& subviews() const {
    return subviews_;
  }
  [[nodiscard]] const ModelWindow* window() const { return window_; }

 private:
  ModelClass* cls_;
  CGRect frame_;
  bool hidden_;
  bool flipped_;
  const ModelWindow* window_;
  ModelView* superview_ = nullptr;
  std::vector<std::unique_ptr<ModelView>> subviews_;
};

// A view of a class whose hitTest: the titlebar hit test replaced: the
// default search, and in a configured main window only a standard button or
// a view inside one is kept.
class TitlebarModelView final : public ModelView {
 public:
  using ModelView::ModelView;
  ModelView* hitTest(CGPoint pointInSuperview) override;
};

// A copy of a real window's tree below and including its frame view.
class ViewTreeModel {
 public:
  // Copies frames, hidden flags and classes; a view whose class (or a
  // superclass) has its hitTest: replaced now becomes a TitlebarModelView.
  // The configured identifiers are copied from the plug-in's set.
  explicit ViewTreeModel(const Window& window);
  ViewTreeModel(const ViewTreeModel&) = delete;
  ViewTreeModel& operator=(const ViewTreeModel&) = delete;
  ~ViewTreeModel();

  [[nodiscard]] ModelView* frameView() const { return root_.get(); }
  // The model of a real view of the window; none for none or a stranger.
  [[nodiscard]] const ModelView* modelOf(const View* view) const;
  [[nodiscard]] std::size_t viewCount() const { return nodes_.size(); }
  // Points on the edges of every view's frame, in the frame view's
  // superview's coordinates (the window's): each frame's corners, the
  // middles of its edges and its centre. Clicks come at whole points, and
  // frames mostly lie on whole points, so these are where the edge rule
  // decides an answer; comparing the model with the window there checks
  // that both follow the same rule.
  [[nodiscard]] std::vector<CGPoint> edgePoints() const;

  // The install walk: every view below the frame view whose class's name
  // holds titlebar or toolbar in any case has its class's hit test replaced,
  // once per class. Each class's name is tested once, on its first view.
  void installTitlebarHitTesting();

 private:
  std::unique_ptr<ModelView> copy(View& view);

  std::unordered_map<const Class*, std::unique_ptr<ModelClass>> classes_;
  std::unordered_map<const View*, const ModelView*> nodes_;
  std::unordered_set<std::string> configured_;
  ModelWindow window_;
  std::unique_ptr<ModelView> root_;
};

}  // namespace tovik::bench
