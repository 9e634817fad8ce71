// Tiny work screens for the navigation tests: they count their entry
// animations and read the document in their teardown, as real screens may.
#pragma once

#include "app/AppData.h"
#include "app/MainView.h"

#include <map>

struct TestWorkViewLog {
    std::map<int, int> created;    // by view id
    std::map<int, int> destroyed;
};

inline TestWorkViewLog& testWorkViewLog()
{
    static TestWorkViewLog log;
    return log;
}

class TestWorkView : public WorkView {
public:
    TestWorkView(int id, const QRect& frame, MainView* parent)
        : WorkView(frame, parent), m_id(id), m_doc(parent->getAppData())
    {
        ++testWorkViewLog().created[id];
    }
    ~TestWorkView() override
    {
        // The document this screen worked on must still be alive here.
        m_lastSeenFocus = m_doc->m_focusDepth;
        ++testWorkViewLog().destroyed[m_id];
    }
    void onInitialAnimationFinished() override { ++m_animationsFinished; }

    int id() const { return m_id; }
    int animationsFinished() const { return m_animationsFinished; }
    AppData* document() const { return m_doc; }

private:
    int m_id;
    AppData* m_doc;
    int m_animationsFinished = 0;
    volatile int m_lastSeenFocus = 0;
};

// Registers TestWorkView for each id (a null entry for id 0 removes none).
inline void registerTestWorkViews(std::initializer_list<int> ids)
{
    for (int id : ids)
        MainView::registerWorkView(id, [id](const QRect& frame, MainView* parent) {
            return new TestWorkView(id, frame, parent);
        });
}
