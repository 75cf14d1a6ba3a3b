// Driving a cross-tab widget with real mouse events, shared by the widget
// tests.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include <memory>

#include "ui/HyGridWidget.h"

namespace hy::test {

class GridDriver {
public:
  // A point in the cell at data coordinates (x, y): `fraction` of its width.
  QPoint At(int32_t x, int32_t y, double fraction = 0.5) const {
    const QRect r = widget->CellRect(x + model->FixedCols(), y + model->FixedRows());
    EXPECT_FALSE(r.isEmpty()) << x << "," << y;
    return QPoint(r.left() + int(r.width() * fraction), r.center().y());
  }
  void Click(QPoint p, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(widget->viewport(), button, Qt::NoModifier, p);
  }
  void DragTo(QPoint from, QPoint to) {
    QWidget* vp = widget->viewport();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, from);
    ASSERT_TRUE(model->Dragging());
    QTest::mouseMove(vp, (from + to) / 2);
    QTest::mouseMove(vp, to);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_FALSE(model->Dragging());
  }
  QAction* MenuAction(const QString& text) {
    QMenu* menu = widget->PopupMenu();
    if (!menu) return nullptr;
    for (QAction* a : menu->actions())
      if (a->text() == text) return a;
    return nullptr;
  }

  std::unique_ptr<THyGrid> widget;
  TCustomHyGrid* model = nullptr;
};

}  // namespace hy::test
