#include "support/DarkScheme.h"

#include <QGuiApplication>
#include <QMetaEnum>
#include <QObject>
#include <QVariant>

namespace tavrine::test {

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2a, 0x2a, 0x2e), text(0xe8, 0xe8, 0xea), base(0x1e, 0x1e, 0x22);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x40));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x50, 0x50, 0x56));
    palette.setColor(QPalette::Midlight, QColor(0x44, 0x44, 0x4a));
    palette.setColor(QPalette::Mid, QColor(0x38, 0x38, 0x3c));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x55, 0x68, 0xc8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    // Like many themes, it leaves the link and placeholder colours at Qt's defaults, which are meant for a light
    // window.
    return palette;
}

namespace {
bool everywhere = false;
}

void DarkScheme::setEverywhere(bool dark) {
    everywhere = dark;
}

DarkScheme::DarkScheme(bool dark) : m_previous(QGuiApplication::palette()), m_dark(dark || everywhere) {
    if (m_dark)
        QGuiApplication::setPalette(darkPalette());
}

DarkScheme::~DarkScheme() {
    if (m_dark)
        QGuiApplication::setPalette(m_previous);
}

void DarkScheme::apply(QObject* root) const {
    if (!m_dark || !root)
        return;
    // Items and windows alike carry a "palette" object with one colour property per role.
    auto* palette = root->property("palette").value<QObject*>();
    if (!palette)
        return;
    const QPalette dark = darkPalette();
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    for (int i = 0; i < roles.keyCount(); ++i) {
        QByteArray name = roles.key(i);
        name[0] = char(QChar::toLower(name[0]));
        if (palette->property(name).isValid())
            palette->setProperty(name, dark.color(QPalette::ColorRole(roles.value(i))));
    }
}

} // namespace tavrine::test
