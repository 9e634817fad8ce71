#include "ui/EffectView.h"

#include "Effector/Effector.h"
#include "Effector/FinishingStages.h"
#include "app/AppData.h"
#include "app/AsyncTask.h"
#include "editing/CanvasView.h"
#include "platform/ImageButton.h"
#include "platform/ProgressHud.h"
#include "platform/StringTable.h"
#include "platform/ViewTag.h"
#include "ui/LwAlertView.h"
#include "ui/Toolbar.h"

namespace {

constexpr int kHomeViewId = 1;
constexpr int kPaintingViewId = 3;
constexpr int kSmartSelectionViewId = 4;
constexpr int kTopBarHeight = 40;
constexpr int kBottomBarHeight = 44;

const int kTopTags[] = {EffectView::kCmdHome, EffectView::kCmdBack};
const char* const kTopImages[] = {"home.png", "back.png"};
const ToolbarSeparator kTopSeparators[] = {{EffectView::kCmdBack, 1, 0}};

QString localized(const char* key)
{
    return platform::localizedString(QString::fromLatin1(key));
}

} // namespace

EffectView::EffectView(const QRect& frame, MainView* parent) : WorkView(frame, parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);

    AppData* doc = m_parent->getAppData();
    const QSizeF imageSize(std::max(1, doc->m_width), std::max(1, doc->m_height));
    m_canvas = new CanvasView(QRectF(0, kTopBarHeight, width(), height() - kTopBarHeight - kBottomBarHeight),
                              imageSize, this);
    m_canvas->setPanAndZoom(true, true);
    m_canvas->addBackgroundImageToSuperview();
    doc->m_focusDepth = 255;

    m_topToolbar = new Toolbar(QRectF(0, 0, width(), kTopBarHeight), 0, true, this);
    platform::setViewTag(m_topToolbar, kTopToolbarTag);
    m_topToolbar->setItemSize(QSizeF(48, kTopBarHeight));
    m_topToolbar->setImageButtons(kTopTags, kTopImages, nullptr, nullptr, 2, -1);
    m_topToolbar->setSeparator(kTopSeparators, 1);
    m_topToolbar->setCmdTarget([this](platform::ImageButton* button) { onCommand(platform::viewTag(button)); });

    applyEffectAsync();
}

EffectView::~EffectView()
{
    // A preview still running writes this screen's matrices: its display
    // waits for the worker, so it goes while they are still here.
    // (The display has no meta-object of its own: found by its C++ type.)
    const QObjectList kids = children();
    for (QObject* child : kids) {
        if (auto* hud = dynamic_cast<platform::ProgressHud*>(child))
            delete hud;
    }
}

void EffectView::onCommand(int tag)
{
    switch (tag) {
    case kCmdHome: {
        QPointer<EffectView> self(this);
        LwAlertView::showWithCompletion(QString(), localized("WORK_WILL_BE_LOST"), localized("NO"),
                                        {localized("YES")}, this, [self](int index) {
                                            if (self && index == 1)
                                                self->m_parent->selectWorkView(kHomeViewId, true);
                                        });
        break;
    }
    case kCmdBack:
        m_parent->selectWorkView(m_parent->getLastEditViewId() == kSmartSelectionViewId ? kSmartSelectionViewId
                                                                                         : kPaintingViewId,
                                 true);
        break;
    default:
        break;
    }
}

void EffectView::applyEffectAsync()
{
    auto task = AsyncTask::create(this);
    task->execute(nullptr, [this](AsyncTask* t) { applyEffect_mainTask(t); },
                  [this](AsyncTask* t) { applyEffect_postTask(t); });
}

void EffectView::applyEffect_mainTask(AsyncTask*)
{
    const AppData* doc = m_parent->getAppData();
    if (!doc->m_pDepthMap || !doc->m_pBitmap || doc->m_width < 1 || doc->m_height < 1)
        return;
    m_matDepthMap = doc->m_pDepthMap->clone();
    prepareDepth(*doc, m_matDepthMap);
    applyEffect(m_matLensBlur, *doc, m_matDepthMap, doc->m_focusDepth, doc->m_width, doc->m_height, false);
}

void EffectView::applyEffect_postTask(AsyncTask*)
{
    if (m_matLensBlur.empty())
        return;
    const AppData* doc = m_parent->getAppData();
    cv::Mat result = m_matLensBlur.clone();
    applyStickerAndFilter(*doc, result, m_matDepthMap);
    applyVignetteAndColorMask(*doc, result, m_matDepthMap);
    m_canvas->setImage(matToImage(result).pixels().convertToFormat(QImage::Format_ARGB32));
    ++m_previewRuns;
}
