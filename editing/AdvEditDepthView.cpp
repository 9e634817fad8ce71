#include "editing/AdvEditDepthView.h"

#include "app/AppData.h"
#include "app/Bitmap.h"
#include "app/StrokeContainer.h"
#include "platform/AlertView.h"
#include "platform/ImageButton.h"
#include "platform/StringTable.h"
#include "platform/ToastMessage.h"
#include "platform/UserDefaults.h"
#include "platform/ViewTag.h"
#include "ui/Toolbar.h"

#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kHomeViewId = 1;
constexpr int kFreeEditViewId = 3;
constexpr int kEffectViewId = 5;
constexpr double kMaximumZoomScale = 5.0;
// Least margin around a partial canvas update, in canvas points.
constexpr double kUpdateMargin = 8.0;

constexpr int kTopTags[] = {AdvEditDepthView::kCmdBack, AdvEditDepthView::kCmdUndo, AdvEditDepthView::kCmdClear,
                            AdvEditDepthView::kCmdPaint, AdvEditDepthView::kCmdNext};
constexpr const char* kTopImages[] = {"back.png", "undo.png", "clear.png", "paint.png", "next.png"};
constexpr const char* kTopCaptions[] = {nullptr, "UNDO", nullptr, nullptr, nullptr};
constexpr int kTopCount = 5;
constexpr int kTopRightAlignIndex = 3;
constexpr ToolbarSeparator kTopSeparators[] = {{AdvEditDepthView::kCmdBack, 1, 0}, {AdvEditDepthView::kCmdNext, 0, 0}};

constexpr int kBottomTags[] = {AdvEditDepthView::kCmdForeground, AdvEditDepthView::kCmdMiddleDistance,
                               AdvEditDepthView::kCmdBackground, AdvEditDepthView::kCmdEraser,
                               AdvEditDepthView::kCmdPanZoom,    AdvEditDepthView::kCmdHelp};
constexpr const char* kBottomImages[] = {"fg.png", "mg.png", "bg.png", "eraser.png", "pan_zoom.png", "help.png"};
constexpr const char* kBottomCaptions[] = {"FOREGROUND", "MIDDLE_DISTANCE", "BACKGROUND",
                                           "ERASER",     "PAN_ZOOM",        "HELP"};
constexpr int kBottomCount = 6;
constexpr int kBottomRightAlignIndex = 5;
constexpr ToolbarSeparator kBottomSeparators[] = {{AdvEditDepthView::kCmdHelp, 0, 2}};
constexpr int kRadioTags[] = {AdvEditDepthView::kCmdForeground, AdvEditDepthView::kCmdMiddleDistance,
                              AdvEditDepthView::kCmdBackground, AdvEditDepthView::kCmdEraser,
                              AdvEditDepthView::kCmdPanZoom};

std::vector<ToolbarHelpString> captions(const char* const* keys, int count)
{
    std::vector<ToolbarHelpString> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (keys[i])
            out[size_t(i)].string = platform::localizedString(QString::fromLatin1(keys[i]));
    }
    return out;
}

cv::Point2f toCv(const QPointF& p)
{
    return cv::Point2f(float(p.x()), float(p.y()));
}

// A read-only image over a matrix's pixels: it shows whatever the matrix
// holds now, as long as the matrix keeps its buffer.
QImage viewOf(const cv::Mat& bgra)
{
    return QImage(bgra.data, bgra.cols, bgra.rows, int(bgra.step), QImage::Format_ARGB32);
}

} // namespace

AdvEditDepthView::AdvEditDepthView(const QRect& frame, MainView* parent) : WorkView(frame, parent)
{
    m_pStrokes = m_parent->getWatershedStrokeContainer();
    AppData* doc = m_parent->getAppData();
    Q_ASSERT(doc && doc->m_pDepthMap && !doc->m_depthSizedImage.isNull());

    const double width = frame.width(), height = frame.height();
    const QRectF canvasFrame(0, 40, width, height - 84);
    const QSizeF displaySize = CanvasView::fitSize(QSizeF(doc->m_width, doc->m_height), canvasFrame).size();
    const cv::Size strokeSize = watershedStrokeSize(displaySize.width(), displaySize.height());
    m_strokeSize = QSize(strokeSize.width, strokeSize.height);

    // The segmentation input, the stroke image, the marker mask and the
    // segment image, in that order; all but the input start cleared.
    {
        const Bitmap photo(doc->m_depthSizedImage, true);
        const cv::Mat bgra(photo.height, photo.width, CV_8UC4, photo.data, size_t(photo.bytesPerRow));
        m_segmentation = std::make_unique<WatershedSegmentation>(bgra, strokeSize, displaySize.width());
    }
    m_guideImage = doc->m_depthSizedImage;
    m_pLinesImage = viewOf(m_segmentation->m_lines);
    m_pSegmentsImage = viewOf(m_segmentation->m_segments);

    m_brushColor = 255;
    m_canvas = new CanvasView(canvasFrame, QSizeF(doc->m_width, doc->m_height), this);
    m_canvas->setCanvasDelegate(this);
    m_canvas->show();
    m_canvas->addBackgroundImageToSuperview();
    m_canvas->setMaximumZoomScale(kMaximumZoomScale);

    // Strokes kept from an earlier visit replay at the same places: they
    // are canvas points, and the canvas follows the document.
    resegmentAllStrokes();
    createToolbar();
}

AdvEditDepthView::~AdvEditDepthView()
{
    // The canvas may still hand over a cancellation while it goes.
    if (m_canvas)
        m_canvas->setCanvasDelegate(nullptr);
}

void AdvEditDepthView::createToolbar()
{
    const double width = this->width(), height = this->height();

    auto* top = new Toolbar(QRectF(0, 0, width, 40), 0, true, this);
    platform::setViewTag(top, kTopToolbarTag);
    top->setCmdTarget([this](platform::ImageButton* button) { onButtonClicked(button); });
    top->setItemSize(QSizeF(48, 40));
    const std::vector<ToolbarHelpString> topCaptions = captions(kTopCaptions, kTopCount);
    top->setImageButtons(kTopTags, kTopImages, nullptr, topCaptions.data(), kTopCount, kTopRightAlignIndex);
    top->setSeparator(kTopSeparators, 2);
    top->show();

    auto* bottom = new Toolbar(QRectF(0, height - 44, width, 44), 0, false, this);
    platform::setViewTag(bottom, kBottomToolbarTag);
    bottom->setCmdTarget([this](platform::ImageButton* button) { onButtonClicked(button); });
    bottom->setItemSize(QSizeF(52.8, 44));
    const std::vector<ToolbarHelpString> bottomCaptions = captions(kBottomCaptions, kBottomCount);
    bottom->setImageButtons(kBottomTags, kBottomImages, nullptr, bottomCaptions.data(), kBottomCount,
                            kBottomRightAlignIndex);
    bottom->setSeparator(kBottomSeparators, 1);
    bottom->setRadio(kRadioTags, 5);
    bottom->selectByTag(kCmdForeground, true);
    bottom->show();
}

void AdvEditDepthView::onInitialAnimationFinished()
{
    if (!m_parent->isViewChangedByBackButton())
        showHelpPopup(false);
}

void AdvEditDepthView::showHelpPopup(bool forced)
{
    if (!forced && !platform::UserDefaults::boolForKey(QStringLiteral("ShowStrokingHelp")))
        return;
    // The popup itself (video and the six scenes) comes with the help popups.
    ++m_helpPopupCount;
}

void AdvEditDepthView::onButtonClicked(platform::ImageButton* button)
{
    onCommand(platform::viewTag(button));
}

void AdvEditDepthView::onCommand(int tag)
{
    switch (tag) {
    case kCmdHelp:
        showHelpPopup(true);
        break;
    case kCmdBack:
        askToConfirm(kCmdBack, "GO_BACK");
        break;
    case kCmdNext:
        applyToDepthMap();
        m_parent->selectWorkView(kEffectViewId, false);
        break;
    case kCmdBackground:
    case kCmdMiddleDistance:
    case kCmdForeground:
    case kCmdEraser:
    case kCmdPanZoom:
        selectTool(tag);
        break;
    case kCmdClear:
        askToConfirm(kCmdClear, "CLEAR_SCREEN");
        break;
    case kCmdUndo:
        undo();
        break;
    case kCmdPaint:
        // Manual painting starts from this result; nothing is lost, so no question.
        applyToDepthMap();
        m_parent->selectWorkView(kFreeEditViewId, false);
        break;
    default:
        break;
    }
}

void AdvEditDepthView::selectTool(int tag)
{
    switch (tag) {
    case kCmdForeground:
        m_brushColor = 255;
        break;
    case kCmdMiddleDistance:
        m_brushColor = 85;
        break;
    case kCmdBackground:
        m_brushColor = 0;
        break;
    case kCmdEraser:
        m_brushColor = -1;
        break;
    case kCmdPanZoom:
        m_canvas->setPanAndZoom(true, false);
        return;
    default:
        return;
    }
    m_canvas->setPanAndZoom(false, true);
}

void AdvEditDepthView::askToConfirm(int tag, const char* titleKey)
{
    auto* alert = new platform::AlertView(platform::localizedString(QString::fromLatin1(titleKey)),
                                          platform::localizedString(QStringLiteral("WORK_WILL_BE_LOST")),
                                          platform::localizedString(QStringLiteral("NO")),
                                          {platform::localizedString(QStringLiteral("YES"))});
    alert->setTag(tag);
    QPointer<AdvEditDepthView> self(this);
    alert->setClickedButtonHandler([self](platform::AlertView* view, int index) {
        if (self)
            self->alertViewClickedButtonAtIndex(view, index);
    });
    alert->show(this);
}

void AdvEditDepthView::alertViewClickedButtonAtIndex(platform::AlertView* alert, int buttonIndex)
{
    if (buttonIndex != alert->firstOtherButtonIndex())
        return;
    switch (alert->tag()) {
    case kCmdBack:
        m_parent->selectWorkView(kHomeViewId, true);
        break;
    case kCmdClear:
        clearAll();
        break;
    default:
        break;
    }
}

void AdvEditDepthView::clearAll()
{
    m_pCurStroke.reset();
    m_pStrokes->clear();
    m_segmentation->clearStrokes();
    m_segmentation->clearSegments();
    finishChange();
}

void AdvEditDepthView::undo()
{
    if (m_pStrokes->m_strokes.empty())
        return;
    m_pStrokes->m_strokes.pop_back();
    resegmentAllStrokes();
}

void AdvEditDepthView::resegmentAllStrokes()
{
    m_segmentation->drawAllStrokes(*m_pStrokes);
    if (m_pStrokes->m_strokes.empty())
        m_segmentation->clearSegments();
    else
        m_segmentation->watershed();  // the strokes kept passed the level check when they were drawn
    finishChange();
}

void AdvEditDepthView::finishChange()
{
    invalidateSegmentImage();
    invalidateCanvas(nullptr);
    saveLastSuccessfulImage();
}

void AdvEditDepthView::applyToDepthMap()
{
    m_segmentation->applyToDepthMap(*m_parent->getAppData()->m_pDepthMap);
}

void AdvEditDepthView::invalidateSegmentImage()
{
    QImage cache(m_strokeSize, QImage::Format_ARGB32);
    cache.fill(Qt::black);
    QPainter painter(&cache);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF whole(0, 0, m_strokeSize.width(), m_strokeSize.height());
    if (!m_guideImage.isNull())
        m_guideImage.draw(painter, whole, true);
    else
        m_parent->getAppData()->m_image.draw(painter, whole, true);
    painter.setOpacity(0.5);
    painter.drawImage(whole, m_pSegmentsImage);
    painter.end();
    m_cacheImage = cache;
}

QImage AdvEditDepthView::composeCanvasImage() const
{
    QImage image = m_cacheImage.copy();
    QPainter painter(&image);
    painter.drawImage(QPointF(0, 0), m_pLinesImage);
    painter.end();
    return image;
}

void AdvEditDepthView::invalidateCanvas(const QRectF* rect)
{
    if (rect)
        m_canvas->setImage(composeCanvasImage(), *rect);
    else
        m_canvas->setImage(composeCanvasImage());
}

void AdvEditDepthView::saveLastSuccessfulImage()
{
    m_segmentation->m_lines.copyTo(m_lastLines);
    m_segmentation->m_marker.copyTo(m_lastMarker);
    m_lastImage = m_canvas->getImage();
}

void AdvEditDepthView::restoreLastSuccessfulImage()
{
    // copyTo into matrices of the same size and type keeps their buffers,
    // which the pixel views read.
    m_lastLines.copyTo(m_segmentation->m_lines);
    m_lastMarker.copyTo(m_segmentation->m_marker);
    m_canvas->setImage(m_lastImage);
}

void AdvEditDepthView::canvasTouchesBegan(const platform::TouchSet& touches, const platform::TouchEvent&)
{
    if (touches.empty())
        return;
    // A sequence that began without the previous one ending leaves no trace.
    if (m_pCurStroke) {
        m_pCurStroke.reset();
        restoreLastSuccessfulImage();
    }
    m_ptPrev = m_canvas->normalizeTouch(&touches.front());
    m_pCurStroke = std::make_unique<Stroke>();
    m_pCurStroke->points.push_back(toCv(m_ptPrev));
    m_pCurStroke->color = m_brushColor;
    // Fixed at touch-down, so that strokes keep their width on screen; never
    // thinner than one pixel, even while a pinch overshoots the maximum zoom.
    const int size = m_brushColor < 0 ? kEraserStrokeSize : kLevelStrokeSize;
    m_pCurStroke->brushSize = std::max(1, int(size / m_canvas->zoomScale()));
}

void AdvEditDepthView::canvasTouchesMoved(const platform::TouchSet& touches, const platform::TouchEvent&)
{
    if (!m_pCurStroke || touches.empty())
        return;
    const QPointF p = m_canvas->normalizeTouch(&touches.front());
    m_segmentation->drawStrokeSegment(toCv(m_ptPrev), toCv(p), m_pCurStroke->color, m_pCurStroke->brushSize);
    // The margin covers the whole brush: the eraser is wider on screen than
    // 8 points, and what it erased beyond them would show only at the end.
    const double brush = m_pCurStroke->brushSize * m_segmentation->m_contentWidth / m_strokeSize.width();
    const double margin = std::max(kUpdateMargin, brush);
    const QRectF dirty = QRectF(std::min(m_ptPrev.x(), p.x()), std::min(m_ptPrev.y(), p.y()),
                                std::abs(p.x() - m_ptPrev.x()), std::abs(p.y() - m_ptPrev.y()))
                             .adjusted(-margin, -margin, margin, margin);
    invalidateCanvas(&dirty);
    m_pCurStroke->points.push_back(toCv(p));
    m_ptPrev = p;
}

void AdvEditDepthView::canvasTouchesEnded(const platform::TouchSet&, const platform::TouchEvent&)
{
    if (!m_pCurStroke)
        return;
    m_pStrokes->m_strokes.push_back(std::move(m_pCurStroke));
    if (!m_segmentation->watershed()) {
        // Take strokes back, newest first, until the levels no longer touch:
        // the stroke just drawn goes first and the previous result returns.
        while (!m_pStrokes->m_strokes.empty()) {
            m_pStrokes->m_strokes.pop_back();
            m_segmentation->drawAllStrokes(*m_pStrokes);
            if (m_segmentation->watershed())
                break;
        }
        platform::showToast(this, platform::localizedString(QStringLiteral("CANNOT_CROSS_DIF_COLOR")), kToastMs);
    }
    finishChange();
}

void AdvEditDepthView::canvasTouchesCancelled(const platform::TouchSet&, const platform::TouchEvent&)
{
    if (!m_pCurStroke)
        return;
    m_pCurStroke.reset();
    restoreLastSuccessfulImage();
}
