#include "main_window/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace quorvel::icons {

namespace {

// Draws on a 48 x 48 canvas at every size the icon is asked for.
QIcon Draw(const std::function<void(QPainter&)>& paint) {
  QIcon icon;
  for (int size : {16, 24, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    paint(p);
    icon.addPixmap(pixmap);
  }
  return icon;
}

const QColor kGreen(33, 115, 70);
const QColor kLine(90, 90, 90);
const QColor kRed(200, 40, 40);
const QColor kBlue(40, 100, 190);
const QColor kFolder(235, 190, 80);

void Sheet(QPainter& p, const QRectF& r) {
  QPainterPath page;
  const qreal fold = r.width() * 0.3;
  page.moveTo(r.left(), r.top());
  page.lineTo(r.right() - fold, r.top());
  page.lineTo(r.right(), r.top() + fold);
  page.lineTo(r.right(), r.bottom());
  page.lineTo(r.left(), r.bottom());
  page.closeSubpath();
  p.setPen(QPen(kLine, 2));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.setPen(QPen(kGreen, 2));
  const qreal left = r.left() + 5, right = r.right() - 5;
  for (qreal y = r.top() + fold + 3; y < r.bottom() - 3; y += 6)
    p.drawLine(QPointF(left, y), QPointF(right, y));
  p.drawLine(QPointF(r.center().x() - 2, r.top() + fold + 3),
             QPointF(r.center().x() - 2, r.bottom() - 4));
}

void FolderShape(QPainter& p, const QRectF& r) {
  QPainterPath back;
  back.moveTo(r.left(), r.top() + 4);
  back.lineTo(r.left() + r.width() * 0.38, r.top() + 4);
  back.lineTo(r.left() + r.width() * 0.46, r.top() + 10);
  back.lineTo(r.right(), r.top() + 10);
  back.lineTo(r.right(), r.bottom());
  back.lineTo(r.left(), r.bottom());
  back.closeSubpath();
  p.setPen(QPen(kFolder.darker(140), 2));
  p.setBrush(kFolder.darker(110));
  p.drawPath(back);
  p.setBrush(kFolder);
  p.drawRect(QRectF(r.left(), r.top() + 15, r.width(), r.height() - 15));
}

void Badge(QPainter& p, const QColor& color, bool plus) {
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawEllipse(QRectF(28, 28, 19, 19));
  p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(32.5, 37.5), QPointF(42.5, 37.5));
  if (plus) p.drawLine(QPointF(37.5, 32.5), QPointF(37.5, 42.5));
}

void Triangle(QPainter& p, bool up) {
  QPolygonF shape;
  if (up)
    shape << QPointF(24, 8) << QPointF(42, 30) << QPointF(32, 30) << QPointF(32, 42)
          << QPointF(16, 42) << QPointF(16, 30) << QPointF(6, 30);
  else
    shape << QPointF(24, 40) << QPointF(42, 18) << QPointF(32, 18) << QPointF(32, 6)
          << QPointF(16, 6) << QPointF(16, 18) << QPointF(6, 18);
  p.setPen(QPen(kBlue.darker(130), 2));
  p.setBrush(kBlue);
  p.drawPolygon(shape);
}

}  // namespace

QIcon Workbook() {
  return Draw([](QPainter& p) { Sheet(p, QRectF(8, 3, 32, 42)); });
}

QIcon Folder() {
  return Draw([](QPainter& p) { FolderShape(p, QRectF(3, 6, 42, 36)); });
}

QIcon Missing() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(QColor(150, 150, 150), 2, Qt::DashLine));
    p.setBrush(QColor(245, 245, 245));
    p.drawRect(QRectF(9, 4, 30, 40));
    p.setPen(QPen(kRed, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 14), QPointF(33, 34));
    p.drawLine(QPointF(33, 14), QPointF(15, 34));
  });
}

QIcon AddWorkbook() {
  return Draw([](QPainter& p) {
    Sheet(p, QRectF(5, 2, 30, 40));
    Badge(p, kGreen, true);
  });
}

QIcon AddFolder() {
  return Draw([](QPainter& p) {
    FolderShape(p, QRectF(2, 4, 40, 32));
    Badge(p, kGreen, true);
  });
}

QIcon RemoveFile() {
  return Draw([](QPainter& p) {
    Sheet(p, QRectF(5, 2, 30, 40));
    Badge(p, kRed, false);
  });
}

QIcon Convert() {
  return Draw([](QPainter& p) {
    Sheet(p, QRectF(2, 6, 20, 28));
    p.setPen(QPen(kLine, 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(27, 14, 19, 28));
    p.setPen(QPen(kLine, 1.5));
    for (qreal y = 20; y < 40; y += 4) p.drawLine(QPointF(30, y), QPointF(43, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    QPolygonF arrow;
    arrow << QPointF(14, 40) << QPointF(26, 40) << QPointF(26, 35) << QPointF(34, 43)
          << QPointF(26, 51) << QPointF(26, 46) << QPointF(14, 46);
    p.translate(0, -4);
    p.drawPolygon(arrow);
  });
}

QIcon Cancel() {
  return Draw([](QPainter& p) {
    // A stop sign: a red octagon with a white bar.
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
      const double angle = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
      octagon << QPointF(24 + 20 * std::cos(angle), 24 + 20 * std::sin(angle));
    }
    p.setPen(QPen(kRed.darker(130), 2));
    p.setBrush(kRed);
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(12, 20.5, 24, 7));
  });
}

QIcon HelpBook() {
  return Draw([](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(4, 4, 40, 40));
    p.setPen(Qt::white);
    QFont font("Arial");
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(4, 4, 40, 40), Qt::AlignCenter, "?");
  });
}

QIcon Home() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(kLine, 2));
    p.setBrush(QColor(250, 245, 230));
    p.drawRect(QRectF(10, 22, 28, 22));
    QPolygonF roof;
    roof << QPointF(4, 24) << QPointF(24, 5) << QPointF(44, 24);
    p.setBrush(kRed);
    p.drawPolygon(roof);
    p.setBrush(QColor(140, 90, 40));
    p.drawRect(QRectF(20, 30, 9, 14));
  });
}

QIcon ExitDoor() {
  return Draw([](QPainter& p) {
    p.setPen(QPen(kLine, 2));
    p.setBrush(QColor(160, 110, 60));
    p.drawRect(QRectF(8, 4, 24, 40));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(25, 23, 4, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    QPolygonF arrow;
    arrow << QPointF(26, 20) << QPointF(36, 20) << QPointF(36, 14) << QPointF(46, 24)
          << QPointF(36, 34) << QPointF(36, 28) << QPointF(26, 28);
    p.drawPolygon(arrow);
  });
}

QIcon ArrowUp() {
  return Draw([](QPainter& p) { Triangle(p, true); });
}

QIcon ArrowDown() {
  return Draw([](QPainter& p) { Triangle(p, false); });
}

QIcon Product() {
  return Draw([](QPainter& p) {
    Sheet(p, QRectF(4, 3, 28, 38));
    p.setPen(QPen(kLine, 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(24, 18, 20, 26));
    p.setPen(QPen(kBlue, 2));
    for (qreal y = 24; y < 42; y += 5) p.drawLine(QPointF(28, y), QPointF(40, y));
  });
}

}  // namespace quorvel::icons
