#include "stereo/CalibView.h"

#include "app/AppData.h"
#include "app/AsyncTask.h"
#include "platform/ImageButton.h"
#include "platform/ProgressHud.h"
#include "platform/StringTable.h"
#include "platform/UserDefaults.h"
#include "platform/ViewTag.h"
#include "stereo/Detector.h"
#include "ui/Toolbar.h"

#include <QPainter>
#include <QTransform>

#include <iterator>
#include <vector>

namespace {

constexpr int kTopBarHeight = 40;
constexpr int kBottomBarHeight = 44;
constexpr int kTopItems = 5;
constexpr int kBottomItems = 5;
// The view that follows a detection: manual painting on the new depth map.
constexpr int kManualPaintingViewId = 3;
constexpr int kHomeViewId = 1;

// The top bar: back, the three display modes and, packed right, next.
const int kTopTags[kTopItems] = {CalibView::kCmdBack, CalibView::kCmdShowLeft, CalibView::kCmdShowRight,
                                 CalibView::kCmdShowBoth, CalibView::kCmdNext};
const char* const kTopImages[kTopItems] = {"back.png", "left_img.png", "right_img.png", "both_img.png",
                                           "next.png"};
const char* const kTopCaptions[kTopItems] = {nullptr, "SHOW_LEFT", "SHOW_RIGHT", "SHOW_BOTH", nullptr};
constexpr int kTopRightAlignIndex = 4;
const ToolbarSeparator kTopSeparators[] = {{CalibView::kCmdBack, 1, 0}, {CalibView::kCmdNext, 0, 0}};

// The bottom bar: reset and the four one-pixel moves.
const int kBottomTags[kBottomItems] = {CalibView::kCmdReset, CalibView::kCmdMoveUp, CalibView::kCmdMoveDown,
                                       CalibView::kCmdMoveLeft, CalibView::kCmdMoveRight};
const char* const kBottomImages[kBottomItems] = {"reset_img.png", "move_up.png", "move_down.png",
                                                 "move_left.png", "move_right.png"};
const char* const kBottomCaptions[kBottomItems] = {"RESET_TO_ORG", "MOVE_UP", "MOVE_DOWN", "MOVE_LEFT",
                                                   "MOVE_RIGHT"};

// The shift each move adds, in thumbnail pixels (x right, y down).
struct Move {
    int tag;
    float tx;
    float ty;
};
const Move kMoves[] = {
    {CalibView::kCmdMoveUp, 0, +1},
    {CalibView::kCmdMoveDown, 0, -1},
    {CalibView::kCmdMoveLeft, +1, 0},
    {CalibView::kCmdMoveRight, -1, 0},
};

std::vector<ToolbarHelpString> captions(const char* const* keys, int count)
{
    std::vector<ToolbarHelpString> strings(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        if (keys[i])
            strings[size_t(i)].string = platform::localizedString(QString::fromLatin1(keys[i]));
    return strings;
}

// The transform translated by (tx, ty) before it is applied, as the
// platform's affine translate does: the linear part stays, the offset grows
// by the linear part applied to (tx, ty).
AffineTransform translated(const AffineTransform& t, float tx, float ty)
{
    AffineTransform r = t;
    r.tx = t.a * tx + t.c * ty + t.tx;
    r.ty = t.b * tx + t.d * ty + t.ty;
    return r;
}

QTransform toQTransform(const AffineTransform& t)
{
    // x' = a x + c y + tx, y' = b x + d y + ty
    return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty);
}

} // namespace

CalibView::CalibView(const QRect& frame, MainView* parent)
    : WorkView(frame, parent),
      // Looked up here: the main step that shows it runs on a worker thread.
      m_analyzingLabel(platform::localizedString(QStringLiteral("ANALYZING")))
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
    createToolbar();
}

CalibView::~CalibView() = default;

void CalibView::createToolbar()
{
    const int w = width();
    const int h = height();

    m_pTopToolbar = new Toolbar(QRectF(0, 0, w, kTopBarHeight), 0, true, this);
    m_pTopToolbar->setCmdTarget([this](platform::ImageButton* button) { onButtonClicked(button); });
    m_pTopToolbar->setItemSize(QSizeF(w / double(kTopItems), kTopBarHeight));
    const std::vector<ToolbarHelpString> topCaptions = captions(kTopCaptions, kTopItems);
    m_pTopToolbar->setImageButtons(kTopTags, kTopImages, nullptr, topCaptions.data(), kTopItems,
                                   kTopRightAlignIndex);
    m_pTopToolbar->setSeparator(kTopSeparators, int(std::size(kTopSeparators)));
    m_pTopToolbar->show();

    m_pBottomToolbar = new Toolbar(QRectF(0, h - kBottomBarHeight, w, kBottomBarHeight), 0, false, this);
    m_pBottomToolbar->setCmdTarget([this](platform::ImageButton* button) { onButtonClicked(button); });
    m_pBottomToolbar->setEvenItemWidth(kBottomItems);
    const std::vector<ToolbarHelpString> bottomCaptions = captions(kBottomCaptions, kBottomItems);
    m_pBottomToolbar->setImageButtons(kBottomTags, kBottomImages, nullptr, bottomCaptions.data(), kBottomItems,
                                      -1);
    m_pBottomToolbar->show();
}

void CalibView::onInitialAnimationFinished()
{
    if (!m_parent->isViewChangedByBackButton())
        showCalibHelpPopup();
}

void CalibView::showCalibHelpPopup()
{
    if (!platform::UserDefaults::boolForKey(QStringLiteral("ShowCalibHelp")))
        return;
    // The help card ("HOWTO_CALIB_TITLE") is laid over this screen here once
    // the help popups exist.
}

void CalibView::onButtonClicked(platform::ImageButton* button)
{
    onCommand(platform::viewTag(button));
}

void CalibView::onCommand(int tag)
{
    switch (tag) {
    case kCmdBack:
        m_parent->selectWorkView(kHomeViewId, true);
        return;
    case kCmdNext: {
        if (m_bDetecting)
            return;
        m_bDetecting = true;
        const std::shared_ptr<AsyncTask> task = AsyncTask::create(this);
        task->execute({}, [this](AsyncTask* t) { detect_mainTask(t); },
                      [this](AsyncTask* t) { detect_postTask(t); });
        return;
    }
    case kCmdShowLeft:
        m_bShowLeft = true;
        m_bShowRight = false;
        update();
        return;
    case kCmdShowRight:
        m_bShowLeft = false;
        m_bShowRight = true;
        update();
        return;
    case kCmdShowBoth:
        m_bShowLeft = true;
        m_bShowRight = true;
        update();
        return;
    case kCmdMoveUp:
    case kCmdMoveDown:
    case kCmdMoveLeft:
    case kCmdMoveRight:
    case kCmdReset:
        onMoveRotate(tag);
        return;
    default:
        return;
    }
}

void CalibView::onMoveRotate(int tag)
{
    AppData* doc = m_parent->getAppData();
    if (doc) {
        if (tag == kCmdReset)
            doc->m_rightTransform = AffineTransform();
        for (const Move& move : kMoves)
            if (move.tag == tag)
                doc->m_rightTransform = translated(doc->m_rightTransform, move.tx, move.ty);
    }
    update();
}

void CalibView::detect_mainTask(AsyncTask* task)
{
    task->getHud()->setLabelText(m_analyzingLabel);
    AppData* doc = m_parent->getAppData();
    if (doc && !doc->m_rightThumb.isNull())
        runStereoDetection(*doc);
}

void CalibView::detect_postTask(AsyncTask*)
{
    if (AppData* doc = m_parent->getAppData())
        releaseStereoDetection(*doc);
    m_bDetecting = false;
    // This screen goes away with the switch: nothing of it is touched after.
    m_parent->selectWorkView(kManualPaintingViewId, false);
}

QRectF CalibView::fitSize(const QSizeF& size, const QRectF& rect)
{
    const double sx = rect.width() / size.width();
    const double sy = rect.height() / size.height();
    if (sx > sy) {
        const double w = int(size.width() * sy);
        return QRectF(rect.x() + (rect.width() - w) / 2, rect.y(), w, rect.height());
    }
    const double h = int(size.height() * sx);
    return QRectF(rect.x(), rect.y() + (rect.height() - h) / 2, rect.width(), h);
}

QRectF CalibView::pictureRect() const
{
    const AppData* doc = m_parent->getAppData();
    if (!doc || doc->m_thumbWidth <= 0 || doc->m_thumbHeight <= 0)
        return QRectF();
    const QRectF area(0, kTopBarHeight, width(), height() - kTopBarHeight - kBottomBarHeight);
    return fitSize(QSizeF(doc->m_thumbWidth, doc->m_thumbHeight), area);
}

void CalibView::paintEvent(QPaintEvent*)
{
    const AppData* doc = m_parent->getAppData();
    const QRectF picture = pictureRect();
    if (!doc || doc->m_leftThumb.isNull() || picture.isEmpty())
        return;
    QPainter painter(this);
    // One unit is one thumbnail pixel, origin at the left shot's top left.
    painter.translate(picture.x(), picture.y());
    painter.scale(picture.width() / doc->m_thumbWidth, picture.height() / doc->m_thumbHeight);
    if (m_bShowLeft)
        doc->m_leftThumb.draw(painter, QRectF(QPointF(0, 0), QSizeF(doc->m_leftThumb.size())), true);
    // The same geometry as the detection's redraw of the right thumbnail.
    painter.setTransform(toQTransform(doc->m_rightTransform), true);
    if (m_bShowRight && !doc->m_rightThumb.isNull()) {
        painter.setOpacity(0.5);
        doc->m_rightThumb.draw(painter, QRectF(QPointF(0, 0), QSizeF(doc->m_rightThumb.size())), true);
    }
}
