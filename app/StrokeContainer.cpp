#include "app/StrokeContainer.h"

StrokeContainer::~StrokeContainer()
{
    clear();
}

void StrokeContainer::clear()
{
    m_strokes.clear();
}
