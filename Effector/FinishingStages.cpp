#include "Effector/FinishingStages.h"

#include "Effector/ColorFilter.h"
#include "Effector/ColorMask.h"
#include "Effector/StickerEffect.h"
#include "Effector/Vignette.h"
#include "app/AppData.h"

void applyStickerAndFilter(const AppData& doc, cv::Mat& image, const cv::Mat& /*workingDepth*/)
{
    // The sticker outlines the subject as painted, so it reads the document's
    // own map rather than the faded and feathered working copy.
    if (doc.m_sticker >= 1 && doc.m_pDepthMap && !doc.m_pDepthMap->empty())
        applyStickerEffect(image, *doc.m_pDepthMap);
    applyColorFilter(image, doc.m_filter);
}

void applyVignetteAndColorMask(const AppData& doc, cv::Mat& image, const cv::Mat& workingDepth)
{
    if (doc.m_vignette >= 1)
        applyVignette(image);
    if (doc.m_colorMask && !workingDepth.empty())
        applyColorMask(image, workingDepth, doc.m_focusDepth);
}
