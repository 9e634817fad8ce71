// Work screen 2, pair alignment: shows the left shot with the right shot laid
// over it at half opacity and lets the user shift the right shot pixel by
// pixel until the background of the two coincides; "next" runs the stereo
// detection behind the progress display and opens manual painting (view 3)
// on the resulting depth map.
//
// The alignment is a pure translation kept in the document's
// m_rightTransform, in pixels of the 250-pixel-wide thumbnails, y downwards.
// The screen draws the right shot through exactly the transform that the
// detection applies when it redraws the right thumbnail, so what the user
// lines up is what is matched.
#pragma once

#include "app/MainView.h"

#include <QRect>
#include <QRectF>
#include <QString>

class AsyncTask;
class Toolbar;
struct AffineTransform;
namespace platform { class ImageButton; }

class CalibView : public WorkView {
public:
    // Commands (toolbar tags).
    enum Command : int {
        kCmdBack = 107,
        kCmdNext = 108,
        kCmdShowLeft = 400,
        kCmdShowRight = 401,
        kCmdShowBoth = 402,
        kCmdMoveUp = 403,
        kCmdMoveDown = 404,
        kCmdMoveLeft = 405,
        kCmdMoveRight = 406,
        kCmdReset = 407,
    };

    // initWithFrame:andParent:
    CalibView(const QRect& frame, MainView* parent);
    ~CalibView() override;

    // Offers the help popup unless the screen was reached by a back button.
    void onInitialAnimationFinished() override;
    void showCalibHelpPopup();

    void onCommand(int tag);
    // Sends onCommand with the button's tag.
    void onButtonClicked(platform::ImageButton* button);
    // 403 to 406 shift the right shot by one thumbnail pixel, 407 resets the
    // shift; every tag redraws.
    void onMoveRotate(int tag);

    // The background task of "next": the main step (worker thread) labels
    // the display "ANALYZING" and runs the detection when there is a right
    // thumbnail; the completion step (main thread) releases the detector and
    // opens manual painting.
    void detect_mainTask(AsyncTask* task);
    void detect_postTask(AsyncTask* task);

    bool showsLeft() const { return m_bShowLeft; }
    bool showsRight() const { return m_bShowRight; }
    Toolbar* topToolbar() const { return m_pTopToolbar; }
    Toolbar* bottomToolbar() const { return m_pBottomToolbar; }
    // Where the thumbnails are drawn (points): their size fitted into the
    // picture area between the bars, enlargement allowed; empty without a
    // left thumbnail size.
    QRectF pictureRect() const;

    // The picture area's fitting: (w, h) into rect, the width rule on a tie.
    static QRectF fitSize(const QSizeF& size, const QRectF& rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createToolbar();

    QString m_analyzingLabel;
    Toolbar* m_pTopToolbar = nullptr;
    Toolbar* m_pBottomToolbar = nullptr;
    bool m_bShowLeft = true;
    bool m_bShowRight = true;
    // Set while the detection task runs, so that a second "next" queued
    // before the display covered the screen starts no second task.
    bool m_bDetecting = false;
};
