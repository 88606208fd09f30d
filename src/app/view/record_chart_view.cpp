#include "app/view/record_chart_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

namespace norvale {
namespace {

// One wheel notch (120 eighths of a degree) shows 80 % of the span.
constexpr double kZoomPerNotch = 0.8;
constexpr double kPanFraction = 0.1;

}  // namespace

RecordChartView::RecordChartView(QWidget* parent) : QChartView(parent), chart_(new RecordChart) {
  setChart(chart_);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  viewport()->setCursor(Qt::OpenHandCursor);
}

QPointF RecordChartView::chartPoint(QPointF viewPoint) const {
  return chart_->mapFromScene(mapToScene(viewPoint.toPoint()));
}

double RecordChartView::timeSpan() const {
  const RecordChart::Span shown = chart_->shownTime();
  return shown.high - shown.low;
}

void RecordChartView::zoomAround(double factor, std::optional<double> time) {
  if (!time) time = chart_->shownTime().low + timeSpan() / 2;
  chart_->zoomTime(factor, *time);
}

void RecordChartView::panByFraction(double fraction) { chart_->panTime(fraction * timeSpan()); }

void RecordChartView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  zoomAround(std::pow(kZoomPerNotch, notches), chart_->timeAt(chartPoint(event->position())));
  event->accept();
}

void RecordChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QChartView::mousePressEvent(event);
  dragX_ = event->position().x();
  viewport()->setCursor(Qt::ClosedHandCursor);
  event->accept();
}

void RecordChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = chartPoint(event->position());
  if (dragX_) {
    const double width = chart_->plotArea().width();
    if (width > 0) chart_->panTime((*dragX_ - event->position().x()) / width * timeSpan());
    dragX_ = event->position().x();
  }
  if (std::optional<double> time = chart_->timeAt(at)) {
    emit pointerAt(*time);
  } else {
    emit pointerLeft();
  }
  event->accept();
}

void RecordChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QChartView::mouseReleaseEvent(event);
  dragX_.reset();
  viewport()->setCursor(Qt::OpenHandCursor);
  event->accept();
}

void RecordChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  chart_->resetZoom();
  event->accept();
}

void RecordChartView::leaveEvent(QEvent* event) {
  emit pointerLeft();
  QChartView::leaveEvent(event);
}

void RecordChartView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      zoomAround(kZoomPerNotch, std::nullopt);
      break;
    case Qt::Key_Minus:
      zoomAround(1 / kZoomPerNotch, std::nullopt);
      break;
    case Qt::Key_Left:
      panByFraction(-kPanFraction);
      break;
    case Qt::Key_Right:
      panByFraction(kPanFraction);
      break;
    case Qt::Key_Home:
      chart_->resetZoom();
      break;
    default:
      return QChartView::keyPressEvent(event);
  }
  event->accept();
}

}  // namespace norvale
