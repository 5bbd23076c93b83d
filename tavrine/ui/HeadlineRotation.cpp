#include "tavrine/ui/HeadlineRotation.h"

namespace tavrine::ui {

const QList<HeadlineRotation::Headline>& HeadlineRotation::headlines() {
    static const QList<Headline> table{
        {QStringLiteral("What's the "), QStringLiteral("one thing?")},
        {QStringLiteral("What are we "), QStringLiteral("finishing?")},
        {QStringLiteral("What gets done "), QStringLiteral("next?")},
        {QStringLiteral("What's worth "), QStringLiteral("your focus?")},
        {QStringLiteral("What matters "), QStringLiteral("right now?")},
    };
    return table;
}

void HeadlineRotation::setIndex(int index) {
    const int next = wrapped(index);
    if (next == m_index)
        return;
    m_index = next;
    emit indexChanged();
}

} // namespace tavrine::ui
