// The icon toolbar: a row of image buttons identified by tags, with optional
// captions, a radio group and toggle buttons (selected background), hairline
// separators, a drop shadow and, for sub-toolbars, an arrow at the button
// that opened it. A tap sends the button to the command handler on the next
// turn of the event loop; screens dispatch on its tag.
#pragma once

#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace platform { class ImageButton; }

struct ToolbarSeparator {
    int32_t tag;     // the button next to which the line is drawn
    char side;       // 1: at its right edge; 0: at its left edge
    int32_t offset;  // horizontal shift in points
};

struct ToolbarHelpString {
    QString string;  // already localized caption; empty for none
    char flag = 0;   // kept, without effect
};

class Toolbar : public QWidget {
public:
    // initWithFrame: (type 0, top)
    explicit Toolbar(const QRectF& frame, QWidget* parent = nullptr);
    // initWithFrame:type:isTop: — type 0 ordinary bar, 1 sub-toolbar.
    Toolbar(const QRectF& frame, int type, bool isTop, QWidget* parent = nullptr);
    ~Toolbar() override;

    // setCmdTarget:handler:
    void setCmdTarget(std::function<void(platform::ImageButton*)> handler);
    void setItemSize(const QSizeF& size);
    QSizeF itemSize() const;
    void setMarginX(int margin);
    int marginX() const;
    void setDestroyOnClick(bool on);
    bool destroyOnClick() const;
    void setEvenItemWidth(int n);

    // setImageButtons:normals:selecteds:helpStrings:count:rightAlignIndex:
    // selecteds and helpStrings may be null; normals may be null (no images).
    void setImageButtons(const int* tags, const char* const* normals, const char* const* selecteds,
                         const ToolbarHelpString* helpStrings, int count, int rightAlignIndex);
    void setSeparator(const ToolbarSeparator* separators, int count);
    void setRadio(const int* tags, int count);
    void setToggleButtons(const int* tags, int count);
    void selectByTag(int tag, bool selected);
    void setSubToolbarArrowPosition(int x);
    void showHelpString(int tag, bool onlyIfAutomatic);

    int type() const;
    bool isTop() const;
    // The button with the tag, or null.
    platform::ImageButton* buttonWithTag(int tag) const;
    // The caption stored for the tag (also on top bars, where it is not drawn).
    QString helpString(int tag) const;
    // The strip the buttons sit in when they do not fit; null otherwise.
    QWidget* scrollStrip() const;

    // setSelectedBtnBgColor:color: — the rounded highlight (item size, inset
    // 1, radius 5) as the button's selected-state background.
    void setSelectedBtnBgColor(int tag, const QColor& color);
    // changeBgColor:isSelected: — the normal-state background becomes the
    // selected one (or none); a sub-toolbar's caption turns white (or black).
    void changeBgColor(platform::ImageButton* button, bool selected);
    // The touch-up-inside and touch-down actions of every button.
    void onCommand(platform::ImageButton* button);
    void onButtonTouchDown(platform::ImageButton* button);

    // A button's frame in its container (the bar or the strip) as laid out,
    // before Qt rounds it to whole points; empty for an unknown tag.
    QRectF buttonFrame(int tag) const;
    // The drop shadow and the sub-toolbar's arrow. Widgets cannot draw
    // outside their parent, so these two are siblings of the bar that follow
    // its position, visibility and opacity; geometry in the bar's parent.
    QWidget* shadowView() const;
    QWidget* arrowView() const;
    // The opacity of the bar with its shadow and arrow (the sub-toolbar's fade).
    void setOpacity(qreal opacity);
    qreal opacity() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    // layoutSubviews: the shadow and the arrow beside the bar.
    void layoutDecorations();
    void adoptDecoration(QWidget* decoration);
    bool isRadioTag(int tag) const;
    bool isToggleTag(int tag) const;

    int m_type = 0;
    bool m_bTop = true;
    std::vector<ToolbarSeparator> m_seps;
    std::function<void(platform::ImageButton*)> m_cmdHandler;
    int m_xMargin = 0;
    QSizeF m_itemSize;
    QPointer<QWidget> m_shadow;
    QPointer<QWidget> m_arrow;
    QPoint m_arrowOffset;  // relative to the bar's origin
    std::map<int, ToolbarHelpString> m_helpStrings;
    std::vector<int> m_radioTags;
    std::vector<int> m_toggleButtonTags;
    bool m_destroyOnClick = false;
    std::map<int, QRectF> m_buttonFrames;
    QWidget* m_scrollStrip = nullptr;
    qreal m_opacity = 1.0;
};
