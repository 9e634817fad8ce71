#include "editing/FreeEditDepthView.h"

#include "app/AppData.h"
#include "app/Bitmap.h"
#include "editing/CanvasChildView.h"
#include "editing/DepthDrawing.h"
#include "platform/AlertView.h"
#include "platform/ImageButton.h"
#include "platform/StringTable.h"
#include "platform/UserDefaults.h"
#include "platform/ViewTag.h"
#include "ui/SubToolbarMgr.h"
#include "ui/Toolbar.h"

#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr int kHomeViewId = 1;
constexpr int kAdvEditViewId = 4;
constexpr int kEffectViewId = 5;

constexpr int kForegroundDepth = 255;
constexpr int kMiddleDepth = 85;
constexpr int kBackgroundDepth = 0;

// The partial composition redraws this many working pixels beyond the
// segment's rectangle, for the smoothing of the scaled drawing.
constexpr double kCompositionMargin = 3.0;

const int kTopTags[] = {FreeEditDepthView::kBackTag, FreeEditDepthView::kUndoTag, FreeEditDepthView::kClearTag,
                        FreeEditDepthView::kToStrokingTag, FreeEditDepthView::kNextTag};
const char* const kTopImages[] = {"back.png", "undo.png", "clear.png", "stroke.png", "next.png"};
const char* const kTopCaptions[] = {nullptr, "UNDO", nullptr, nullptr, nullptr};
constexpr int kTopRightAlign = 3;
const ToolbarSeparator kTopSeparators[] = {{FreeEditDepthView::kBackTag, 1, 0}, {FreeEditDepthView::kNextTag, 0, 0}};

const int kBottomTags[] = {FreeEditDepthView::kForegroundTag, FreeEditDepthView::kMiddleTag,
                           FreeEditDepthView::kBackgroundTag, FreeEditDepthView::kPanZoomTag,
                           FreeEditDepthView::kBrushSizeTag};
const char* const kBottomImages[] = {"fg.png", "mg.png", "bg.png", "pan_zoom.png", "brush_size.png"};
const char* const kBottomCaptions[] = {"FOREGROUND", "MIDDLE_DISTANCE", "BACKGROUND", "PAN_ZOOM", "BRUSH_SIZE"};
constexpr int kBottomRightAlign = 4;
const ToolbarSeparator kBottomSeparators[] = {{FreeEditDepthView::kBrushSizeTag, 0, -5}};
const int kToolRadio[] = {FreeEditDepthView::kForegroundTag, FreeEditDepthView::kMiddleTag,
                          FreeEditDepthView::kBackgroundTag, FreeEditDepthView::kPanZoomTag};

const int kBrushTags[] = {FreeEditDepthView::kBrushSize1Tag, FreeEditDepthView::kBrushSize2Tag,
                          FreeEditDepthView::kBrushSize3Tag, FreeEditDepthView::kBrushSize4Tag};
const char* const kBrushImages[] = {"brush_size_1.png", "brush_size_2.png", "brush_size_3.png", "brush_size_4.png"};
const int kBrushSizes[] = {30, 50, 60, 80};

std::vector<ToolbarHelpString> captions(const char* const* keys, int count)
{
    std::vector<ToolbarHelpString> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        if (keys[i])
            out[static_cast<size_t>(i)].string = platform::localizedString(QString::fromLatin1(keys[i]));
    return out;
}

} // namespace

FreeEditDepthView::FreeEditDepthView(const QRect& frame, MainView* parent) : WorkView(frame, parent)
{
    AppData* doc = m_parent->getAppData();
    Q_ASSERT_X(doc && doc->m_pDepthMap && !doc->m_pDepthMap->empty(), "FreeEditDepthView",
               "the document has no depth map");
    if (!doc->m_pDepthMap || doc->m_pDepthMap->empty())
        doc->m_pDepthMap = std::make_unique<cv::Mat>(cv::Mat::zeros(std::max(1, 2 * doc->m_height),
                                                                    std::max(1, 2 * doc->m_width), CV_8UC1));
    const cv::Mat& depth = *doc->m_pDepthMap;

    m_pDrawingBmp = std::make_unique<Bitmap>(depth.cols, depth.rows);
    m_pDrawing = std::make_unique<cv::Mat>(depth.rows, depth.cols, CV_8UC4, m_pDrawingBmp->data,
                                           static_cast<size_t>(m_pDrawingBmp->bytesPerRow));
    m_drawingImg = QImage(static_cast<const uchar*>(m_pDrawingBmp->data), depth.cols, depth.rows,
                          m_pDrawingBmp->bytesPerRow, QImage::Format_ARGB32);
    copyDepthMapToDrawing();
    m_replayBase = m_pDrawing->clone();

    const int W = frame.width();
    const int H = frame.height();
    const QRectF canvasFrame(0, 40, W, H - 84);
    const QSizeF viewSize = CanvasView::fitSize(QSizeF(std::max(1, doc->m_width), std::max(1, doc->m_height)),
                                                canvasFrame).size();
    m_canvas = new CanvasView(canvasFrame, viewSize, this);
    m_canvas->setCanvasDelegate(this);
    m_canvas->show();
    m_canvas->addBackgroundImageToSuperview();

    invalidateCanvas(nullptr);
    saveLastSuccessfulImage();
    createToolbar();
    m_subToolbarMgr = std::make_unique<SubToolbarMgr>();
}

FreeEditDepthView::~FreeEditDepthView()
{
    if (m_subToolbarMgr)
        m_subToolbarMgr->removeSubToolbarImmediately();
    if (m_canvas)
        m_canvas->setCanvasDelegate(nullptr);
}

void FreeEditDepthView::onInitialAnimationFinished()
{
    if (!m_parent->isViewChangedByBackButton())
        showHelpPopup();
}

void FreeEditDepthView::showHelpPopup()
{
    if (!platform::UserDefaults::boolForKey(QStringLiteral("ShowPaintingHelp")))
        return;
}

void FreeEditDepthView::createToolbar()
{
    const int W = width();
    const int H = height();
    auto handler = [this](platform::ImageButton* button) { onButtonClicked(button); };

    m_topToolbar = new Toolbar(QRectF(0, 0, W, 40), 0, true, this);
    platform::setViewTag(m_topToolbar, kTopToolbarTag);
    m_topToolbar->setCmdTarget(handler);
    m_topToolbar->setItemSize(QSizeF(48, 40));
    const auto topCaptions = captions(kTopCaptions, static_cast<int>(std::size(kTopTags)));
    m_topToolbar->setImageButtons(kTopTags, kTopImages, nullptr, topCaptions.data(),
                                  static_cast<int>(std::size(kTopTags)), kTopRightAlign);
    m_topToolbar->setSeparator(kTopSeparators, static_cast<int>(std::size(kTopSeparators)));
    m_topToolbar->show();

    m_bottomToolbar = new Toolbar(QRectF(0, H - 44, W, 44), 0, false, this);
    platform::setViewTag(m_bottomToolbar, kBottomToolbarTag);
    m_bottomToolbar->setCmdTarget(handler);
    m_bottomToolbar->setItemSize(QSizeF(61.6, 44));
    const auto bottomCaptions = captions(kBottomCaptions, static_cast<int>(std::size(kBottomTags)));
    m_bottomToolbar->setImageButtons(kBottomTags, kBottomImages, nullptr, bottomCaptions.data(),
                                     static_cast<int>(std::size(kBottomTags)), kBottomRightAlign);
    m_bottomToolbar->setSeparator(kBottomSeparators, static_cast<int>(std::size(kBottomSeparators)));
    m_bottomToolbar->setRadio(kToolRadio, static_cast<int>(std::size(kToolRadio)));
    m_bottomToolbar->selectByTag(kForegroundTag, true);
    m_bottomToolbar->show();
}

Toolbar* FreeEditDepthView::createBrushSizeToolbar(int x)
{
    const int W = width();
    const int H = height();
    auto* bar = new Toolbar(QRectF(W - 200, H - 91, 200, 47), 1, false);
    bar->setCmdTarget([this](platform::ImageButton* button) { onButtonClicked(button); });
    bar->setMarginX(0);
    bar->setEvenItemWidth(static_cast<int>(std::size(kBrushTags)));
    bar->setImageButtons(kBrushTags, kBrushImages, nullptr, nullptr, static_cast<int>(std::size(kBrushTags)), -1);
    bar->setRadio(kBrushTags, static_cast<int>(std::size(kBrushTags)));
    bar->selectByTag(m_brushSizeButtonTag, true);
    bar->setSubToolbarArrowPosition(x);
    return bar;
}

void FreeEditDepthView::onButtonClicked(platform::ImageButton* button)
{
    if (button)
        onCommand(platform::viewTag(button));
}

void FreeEditDepthView::onCommand(int tag)
{
    switch (tag) {
    case kBackTag:
        askWorkWillBeLost("GO_BACK", kBackTag);
        break;
    case kNextTag:
        applyDrawingToDepthMap();
        m_parent->selectWorkView(kEffectViewId, false);
        break;
    case kForegroundTag:
    case kMiddleTag:
    case kBackgroundTag:
        closeSubToolbar();
        m_brushGray = tag == kForegroundTag ? kForegroundDepth : tag == kMiddleTag ? kMiddleDepth : kBackgroundDepth;
        m_canvas->setPanAndZoom(false, true);
        break;
    case kPanZoomTag:
        closeSubToolbar();
        m_canvas->setPanAndZoom(true, false);
        break;
    case kClearTag:
        closeSubToolbar();
        askWorkWillBeLost("CLEAR_SCREEN", kClearTag);
        break;
    case kBrushSizeTag:
        m_subToolbarMgr->click(m_bottomToolbar, kBrushSizeTag, this, [this](int x) { return createBrushSizeToolbar(x); });
        break;
    case kToStrokingTag:
        askWorkWillBeLost("TO_STROKING_TITLE", kToStrokingTag);
        break;
    case kBrushSize1Tag:
    case kBrushSize2Tag:
    case kBrushSize3Tag:
    case kBrushSize4Tag:
        m_brushSizeButtonTag = tag;
        m_brushSize = kBrushSizes[tag - kBrushSize1Tag];
        break;
    case kUndoTag:
        closeSubToolbar();
        undo();
        break;
    default:
        break;
    }
}

void FreeEditDepthView::askWorkWillBeLost(const char* titleKey, int alertTag)
{
    auto* alert = new platform::AlertView(platform::localizedString(QString::fromLatin1(titleKey)),
                                          platform::localizedString(QStringLiteral("WORK_WILL_BE_LOST")),
                                          platform::localizedString(QStringLiteral("NO")),
                                          {platform::localizedString(QStringLiteral("YES"))});
    alert->setTag(alertTag);
    // The alert may outlive this screen.
    QPointer<FreeEditDepthView> self(this);
    alert->setClickedButtonHandler([self](platform::AlertView* view, int index) {
        if (self)
            self->alertViewClickedButtonAtIndex(view, index);
    });
    alert->show(this);
}

void FreeEditDepthView::alertViewClickedButtonAtIndex(platform::AlertView* alert, int buttonIndex)
{
    if (!alert || buttonIndex != alert->firstOtherButtonIndex())
        return;
    switch (alert->tag()) {
    case kBackTag:
        m_parent->selectWorkView(kHomeViewId, true);
        break;
    case kClearTag:
        dropStrokeInProgress();
        m_strokes.clear();
        m_pDrawing->setTo(cv::Scalar::all(0));
        // Undo after Clear rebuilds from the cleared drawing, not from the
        // depth map as opened: what Clear removed stays removed.
        m_replayBase.setTo(cv::Scalar::all(0));
        invalidateCanvas(nullptr);
        saveLastSuccessfulImage();
        break;
    case kToStrokingTag:
        m_parent->selectWorkView(kAdvEditViewId, false);
        break;
    default:
        break;
    }
}

void FreeEditDepthView::closeSubToolbar()
{
    m_subToolbarMgr->removeSubToolbar();
}

double FreeEditDepthView::canvasWidth() const
{
    return m_canvas->getContentView()->boundsSize().width();
}

// --- strokes ----------------------------------------------------------------

void FreeEditDepthView::canvasTouchesBegan(const platform::TouchSet& touches, const platform::TouchEvent&)
{
    if (touches.empty())
        return;
    // Stored as the stroke stores it, so that a replay draws the same pixels.
    const QPointF touch = m_canvas->normalizeTouch(&touches.front());
    const cv::Point2f p(static_cast<float>(touch.x()), static_cast<float>(touch.y()));
    m_ptPrev = QPointF(p.x, p.y);
    m_pCurStroke = std::make_unique<Stroke>();
    m_pCurStroke->points.push_back(p);
    m_pCurStroke->color = m_brushGray;
    m_pCurStroke->brushSize = static_cast<int>(m_brushSize / m_canvas->zoomScale());
}

void FreeEditDepthView::canvasTouchesMoved(const platform::TouchSet& touches, const platform::TouchEvent&)
{
    if (!m_pCurStroke || touches.empty())
        return;
    const QPointF touch = m_canvas->normalizeTouch(&touches.front());
    const cv::Point2f stored(static_cast<float>(touch.x()), static_cast<float>(touch.y()));
    const QPointF p(stored.x, stored.y);
    drawStrokeSegment(m_ptPrev, p, m_pCurStroke->color, m_pCurStroke->brushSize);
    m_pCurStroke->points.push_back(stored);
    const int half = m_pCurStroke->brushSize / 2;
    const QRectF rect(std::min(m_ptPrev.x(), p.x()) - half, std::min(m_ptPrev.y(), p.y()) - half,
                      std::abs(p.x() - m_ptPrev.x()) + 2 * half, std::abs(p.y() - m_ptPrev.y()) + 2 * half);
    invalidateCanvas(&rect);
    m_ptPrev = p;
}

void FreeEditDepthView::canvasTouchesEnded(const platform::TouchSet&, const platform::TouchEvent&)
{
    if (!m_pCurStroke)
        return;
    m_strokes.m_strokes.push_back(std::move(m_pCurStroke));
    invalidateCanvas(nullptr);
    saveLastSuccessfulImage();
}

void FreeEditDepthView::canvasTouchesCancelled(const platform::TouchSet&, const platform::TouchEvent&)
{
    m_pCurStroke.reset();
    restoreLastSuccessfulImage();
}

void FreeEditDepthView::dropStrokeInProgress()
{
    if (!m_pCurStroke)
        return;
    m_pCurStroke.reset();
    restoreLastSuccessfulImage();
}

void FreeEditDepthView::drawStrokeSegment(const QPointF& from, const QPointF& to, int color, int brushSize)
{
    const int columns = m_pDrawing->cols;
    const double w = canvasWidth();
    if (w <= 0)
        return;
    drawDepthSegment(*m_pDrawing,
                     canvasPointToPixel(cv::Point2f(static_cast<float>(from.x()), static_cast<float>(from.y())), w, columns),
                     canvasPointToPixel(cv::Point2f(static_cast<float>(to.x()), static_cast<float>(to.y())), w, columns),
                     color, brushSize);
}

void FreeEditDepthView::drawAllStrokes()
{
    if (canvasWidth() > 0)
        replayStrokes(m_replayBase, m_strokes, canvasWidth(), *m_pDrawing);
    invalidateCanvas(nullptr);
}

void FreeEditDepthView::undo()
{
    dropStrokeInProgress();
    if (m_strokes.m_strokes.empty())
        return;
    m_strokes.m_strokes.pop_back();
    drawAllStrokes();
    saveLastSuccessfulImage();
}

void FreeEditDepthView::copyDepthMapToDrawing()
{
    ::copyDepthMapToDrawing(*m_parent->getAppData()->m_pDepthMap, *m_pDrawing);
}

void FreeEditDepthView::applyDrawingToDepthMap()
{
    ::applyDrawingToDepthMap(*m_pDrawing, *m_parent->getAppData()->m_pDepthMap);
}

// --- composition --------------------------------------------------------------

void FreeEditDepthView::invalidateCanvas(const QRectF* rect)
{
    const AppData* doc = m_parent->getAppData();
    const int w = std::max(1, doc->m_width);
    const int h = std::max(1, doc->m_height);
    const QRectF whole(0, 0, w, h);
    QImage composite(w, h, QImage::Format_ARGB32);
    composite.fill(Qt::transparent);
    {
        QPainter painter(&composite);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (rect && !m_lastImage.isNull()) {
            const double s = w / canvasWidth();
            const QRectF r = QRectF(rect->x() * s, rect->y() * s, rect->width() * s, rect->height() * s)
                                 .adjusted(-kCompositionMargin, -kCompositionMargin, kCompositionMargin,
                                           kCompositionMargin);
            painter.drawImage(whole, m_lastImage);
            painter.setClipRect(r);
        }
        if (m_bShowOrg && !doc->m_depthSizedImage.isNull())
            doc->m_depthSizedImage.draw(painter, whole, true);
        painter.setOpacity(0.5);
        painter.drawImage(whole, m_drawingImg);
    }
    m_lastImage = composite;
    if (rect)
        m_canvas->setImage(m_lastImage, *rect);
    else
        m_canvas->setImage(m_lastImage);
}

void FreeEditDepthView::saveLastSuccessfulImage()
{
    m_pDrawing->copyTo(m_lastDrawing);
    m_lastSuccessfulImage = m_lastImage;
}

void FreeEditDepthView::restoreLastSuccessfulImage()
{
    if (!m_lastDrawing.empty())
        m_lastDrawing.copyTo(*m_pDrawing);
    // The partial composition starts from m_lastImage, so it must lose the
    // abandoned stroke too.
    m_lastImage = m_lastSuccessfulImage;
    m_canvas->setImage(m_lastSuccessfulImage);
}
