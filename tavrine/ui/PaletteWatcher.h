#pragma once

#include <QObject>

namespace tavrine::ui {

// Tells its owner when the application palette changes (light/dark switch, theme change).
class PaletteWatcher final : public QObject {
    Q_OBJECT
public:
    explicit PaletteWatcher(QObject* parent = nullptr);

signals:
    void paletteChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tavrine::ui
