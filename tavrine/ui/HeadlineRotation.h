#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace tavrine::ui {

// The main window's opening question: five two-tone headlines, one on screen at a time, the next one every
// 4.5 s while the headline is on screen. The view's timer calls `advance`; the order lives here.
class HeadlineRotation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int index READ index WRITE setIndex NOTIFY indexChanged)
    Q_PROPERTY(QString lead READ lead NOTIFY indexChanged)
    Q_PROPERTY(QString accent READ accent NOTIFY indexChanged)
    Q_PROPERTY(int intervalMs READ intervalMs CONSTANT)
    Q_PROPERTY(int count READ count CONSTANT)

public:
    struct Headline {
        QString lead;
        QString accent;
    };

    using QObject::QObject;

    static const QList<Headline>& headlines();
    static int intervalMs() { return 4500; }
    static int count() { return int(headlines().size()); }

    int index() const { return m_index; }
    // Any integer is taken modulo the table's length.
    void setIndex(int index);
    QString lead() const { return leadAt(m_index); }
    QString accent() const { return accentAt(m_index); }
    // Any integer, as `setIndex` takes it.
    Q_INVOKABLE QString leadAt(int index) const { return headlines().at(wrapped(index)).lead; }
    Q_INVOKABLE QString accentAt(int index) const { return headlines().at(wrapped(index)).accent; }

    Q_INVOKABLE void advance() { setIndex(m_index + 1); }

signals:
    void indexChanged();

private:
    static int wrapped(int index) { return ((index % count()) + count()) % count(); }

    int m_index = 0;
};

} // namespace tavrine::ui
