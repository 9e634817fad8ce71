// The overlay of the two-shot camera, laid over the live picture: the ghost
// of the first shot at half opacity, a green framing grid over the preview
// area, the bottom bar, and the shutter and cancel buttons. It is clear
// where it draws nothing and takes every touch.
//
// Geometry in points, with A = int(width) and B = int(height - 54) (the
// preview area above the bottom bar):
//   ghost: the camera's display image (w x h) into (0, 0, A, int(A * h / w));
//   grid: vertical lines at x = d, 2d, ... below A (d = A / 4), from y = 0 to
//     B; horizontal lines at y = e, 2e, ... below B (e = B / 6), from x = 0
//     to A; width 1, opaque green. On 320 x 480: x = 80, 160, 240 and
//     y = 71, 142, 213, 284, 355;
//   bottom bar: "twoshot_camera_bg.png" tiled along the bottom edge;
//   shutter centred at (width / 2, height - 27), cancel at (30, height - 27).
#pragma once

#include <QRect>
#include <QWidget>

#include <vector>

class TwoShotCamera;
namespace platform { class ImageButton; }

class CameraOverlayView : public QWidget {
public:
    // initWithFrame:andCamera: — camera is not retained; the buttons call its
    // onClickTakePicture and onClickCancel.
    CameraOverlayView(const QRect& frame, TwoShotCamera* camera, QWidget* parent = nullptr);
    ~CameraOverlayView() override;

    TwoShotCamera* camera() const { return m_camera; }
    // The camera going away first leaves an overlay that only draws its grid.
    void setCamera(TwoShotCamera* camera) { m_camera = camera; }

    platform::ImageButton* shutterButton() const { return m_shutterButton; }
    platform::ImageButton* cancelButton() const { return m_cancelButton; }

    // Where the grid lines lie for an overlay of this size (points).
    static std::vector<int> gridColumns(const QSize& overlaySize);
    static std::vector<int> gridRows(const QSize& overlaySize);
    // Where the ghost of a display image of imageSize is drawn.
    static QRect ghostRect(const QSize& overlaySize, const QSize& imageSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // pointInside:withEvent: is always YES: no touch reaches the picture.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void placeButtons();

    TwoShotCamera* m_camera;
    platform::ImageButton* m_shutterButton = nullptr;
    platform::ImageButton* m_cancelButton = nullptr;
};
