#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// Whether the pointer is over the floating nudge card or over its close button. One instance, made by the
// composition root and shared by the card and the close button; a flag notifies only when it really changes,
// so the repeated reports of the card's two hover sources start no redraw.
class NudgeHoverState : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made once by the application")
    Q_PROPERTY(bool card READ card WRITE setCard NOTIFY cardChanged)
    Q_PROPERTY(bool close READ close WRITE setClose NOTIFY closeChanged)
public:
    using QObject::QObject;
    bool card() const { return m_card; }
    bool close() const { return m_close; }
    void setCard(bool card);
    void setClose(bool close);
    // Both flags false: the next nudge starts with its close button hidden.
    Q_INVOKABLE void reset();

signals:
    void cardChanged();
    void closeChanged();

private:
    bool m_card = false;
    bool m_close = false;
};

} // namespace tavrine::nudge
