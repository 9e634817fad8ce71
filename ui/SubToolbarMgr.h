// Keeps at most one sub-toolbar open per screen: opens it above the button
// that asked for it, toggles it when the same button is pressed again, and
// closes it (animated or at once).
#pragma once

#include <QPointer>

#include <functional>

class QVariantAnimation;
class QWidget;
class Toolbar;

class SubToolbarMgr {
public:
    // The screen's creator: answers a new sub-toolbar (type 1, target,
    // buttons set, arrow at x) for the x of the opening button's centre.
    using Creator = std::function<Toolbar*(int x)>;

    SubToolbarMgr();
    ~SubToolbarMgr();

    // click:buttonTag:parent:creator:
    void click(Toolbar* parentToolbar, int buttonTag, QWidget* screen, const Creator& creator);
    // Starts closing the open sub-toolbar (0.2 s fade); its tag, or -1.
    int removeSubToolbar();
    void removeSubToolbarImmediately();
    // The open (or closing) sub-toolbar, or null.
    Toolbar* subToolbar() const;
    // The bar whose button opened it, or null.
    Toolbar* parentToolbar() const;
    // The closing fade is running.
    bool isClosing() const;

    SubToolbarMgr(const SubToolbarMgr&) = delete;
    SubToolbarMgr& operator=(const SubToolbarMgr&) = delete;

private:
    void finishClosing();

    QPointer<Toolbar> m_parentToolbar;
    QPointer<Toolbar> m_subToolbar;
    QPointer<QVariantAnimation> m_fade;
};
