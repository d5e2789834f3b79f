#include "platform/gui/drag_image.h"

#include <algorithm>

#include "platform/gui/qt_private.h"

namespace qv {

namespace {

// Lies over the whole top-level window and lets the mouse through.
class DragOverlay : public QWidget {
public:
  explicit DragOverlay(QWidget* top) : QWidget(top) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(top->rect());
  }
  std::vector<QRect> rects;

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (const QRect& r : rects)
      for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left() + ((r.left() + y) & 1); x <= r.right(); x += 2) p.fillRect(x, y, 1, 1, Qt::white);
  }
};

QWidget* TopWidget(const TControl* control) {
  const TControl* top = control;
  while (top->Parent()) top = top->Parent();
  auto* w = dynamic_cast<const TWinControl*>(top);
  return w ? w->Impl().widget : nullptr;
}

DragOverlay* FindOverlay(QWidget* top) {
  for (QObject* child : top->children())
    if (auto* o = dynamic_cast<DragOverlay*>(child)) return o;
  return nullptr;
}

QRect ToTop(const TControl* control, QWidget* top, const TRect& r) {
  TPoint s = control->ClientToScreen(Point(r.Left, r.Top));
  QPoint at = top->mapFromGlobal(QPoint(s.X, s.Y));
  return QRect(at.x(), at.y(), r.Width(), r.Height());
}

}  // namespace

void ToggleDragImage(TControl* control, const TRect& client_rect) {
  QV_GUI_THREAD();
  QWidget* top = TopWidget(control);
  if (!top || client_rect.IsEmpty()) return;
  DragOverlay* overlay = FindOverlay(top);
  if (!overlay) overlay = new DragOverlay(top);
  QRect r = ToTop(control, top, client_rect);
  auto it = std::find(overlay->rects.begin(), overlay->rects.end(), r);
  if (it != overlay->rects.end())
    overlay->rects.erase(it);
  else
    overlay->rects.push_back(r);
  overlay->setGeometry(top->rect());
  overlay->setVisible(!overlay->rects.empty());
  overlay->raise();
  overlay->update();
}

std::vector<TRect> DragImages(const TControl* control) {
  QV_GUI_THREAD();
  std::vector<TRect> out;
  QWidget* top = TopWidget(control);
  DragOverlay* overlay = top ? FindOverlay(top) : nullptr;
  if (!overlay) return out;
  TPoint origin = control->ClientToScreen(Point(0, 0));
  QPoint at = top->mapFromGlobal(QPoint(origin.X, origin.Y));
  for (const QRect& r : overlay->rects) out.push_back(Bounds(r.x() - at.x(), r.y() - at.y(), r.width(), r.height()));
  return out;
}

}  // namespace qv
