#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace tavrine {
class UserDefaults;
}

namespace tavrine::ui {

// The duration selector's rules: three presets and a remembered custom length ("customMinutes", 60 when
// absent) stepped by 5 within 5…180. `minutes` is the session's planned length; whoever owns the model keeps
// the two in step. The selection follows `minutes` alone: a preset when it equals one, else the custom segment.
class DurationModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made with the user defaults it keeps the custom length in")
    Q_PROPERTY(int minutes READ minutes WRITE setMinutes NOTIFY minutesChanged)
    Q_PROPERTY(int custom READ custom NOTIFY customChanged)
    Q_PROPERTY(bool isCustom READ isCustom NOTIFY minutesChanged)
    // The selected segment: a preset's place among the presets, or the custom segment's (after the presets).
    Q_PROPERTY(int selectedSegment READ selectedSegment NOTIFY minutesChanged)
    Q_PROPERTY(QList<int> presets READ presets CONSTANT)
    Q_PROPERTY(QString customLabel READ customLabel NOTIFY customChanged)
    Q_PROPERTY(QString customAccessibleName READ customAccessibleName NOTIFY customChanged)

public:
    static constexpr int step = 5;
    static constexpr int minimumCustom = 5;
    static constexpr int maximumCustom = 180;
    static constexpr int defaultCustom = 60;
    static constexpr qreal segmentSpacing = 4;
    static constexpr qreal minimumCustomWidth = 108;
    static inline const QString customKey = QStringLiteral("customMinutes");

    // `defaults` outlives the model.
    explicit DurationModel(UserDefaults& defaults, int minutes = 30, QObject* parent = nullptr);

    // The stored custom length: 60 when absent or not an integer, else clamped to 5…180.
    static int readCustom(const UserDefaults& defaults);
    static QList<int> presets() { return {15, 30, 45}; }
    static bool isPreset(int minutes) { return presets().contains(minutes); }

    int minutes() const { return m_minutes; }
    void setMinutes(int minutes);
    int custom() const { return m_custom; }
    bool isCustom() const { return !isPreset(m_minutes); }
    int selectedSegment() const;
    // Where segment `index` (the presets, then the custom one) lies in a row of `size`: the segments share the
    // width with 4 between them, the custom one never narrower than 108. The segments and the thumb behind the
    // selected one are both placed by it, so the thumb never waits for a segment to exist.
    Q_INVOKABLE static QRectF segmentFrame(int index, QSizeF size);
    QString customLabel() const { return QString::number(m_custom) + u'm'; }
    QString customAccessibleName() const;

    // A preset segment: minutes = preset; the custom length stays as it is.
    Q_INVOKABLE void choosePreset(int preset);
    // The custom length's own button: minutes = custom.
    Q_INVOKABLE void selectCustom();
    // The minus and plus buttons and the accessible decrease and increase: custom = clamp(custom + delta),
    // then minutes = custom, so a step always selects the custom segment.
    Q_INVOKABLE void stepBy(int delta);
    Q_INVOKABLE void increase() { stepBy(step); }
    Q_INVOKABLE void decrease() { stepBy(-step); }
    // When the selector comes on screen: minutes that are no preset but lie within 5…180 become the custom
    // length; anything else changes nothing.
    Q_INVOKABLE void adoptSessionMinutes();

signals:
    void minutesChanged();
    void customChanged();

private:
    void storeCustom(int custom);
    void reloadCustom();

    UserDefaults& m_defaults;
    int m_minutes;
    int m_custom;
};

} // namespace tavrine::ui
