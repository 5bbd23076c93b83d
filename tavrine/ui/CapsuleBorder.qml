import QtQuick

// A one-point stroke inside the edge of a capsule (or a rounded rectangle of `radius`) that fades from
// `topColor` to `bottomColor`; QML rectangles have no gradient borders.
Canvas {
    id: border
    property real radius: Math.min(width, height) / 2
    property color topColor
    property color bottomColor

    onTopColorChanged: requestPaint()
    onBottomColorChanged: requestPaint()
    onRadiusChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()
    onPaint: {
        const ctx = getContext("2d");
        ctx.reset();
        // reset() leaves the pixels: without clearing, every repaint strokes over the last and the edge darkens.
        ctx.clearRect(0, 0, width, height);
        if (width < 2 || height < 2)
            return;
        const r = Math.max(0, Math.min(radius, Math.min(width, height) / 2) - 0.5);
        const w = width - 1;
        const h = height - 1;
        const gradient = ctx.createLinearGradient(0, 0, 0, height);
        gradient.addColorStop(0, topColor);
        gradient.addColorStop(1, bottomColor);
        ctx.strokeStyle = gradient;
        ctx.lineWidth = 1;
        ctx.beginPath();
        ctx.moveTo(0.5 + r, 0.5);
        ctx.lineTo(0.5 + w - r, 0.5);
        ctx.arcTo(0.5 + w, 0.5, 0.5 + w, 0.5 + r, r);
        ctx.lineTo(0.5 + w, 0.5 + h - r);
        ctx.arcTo(0.5 + w, 0.5 + h, 0.5 + w - r, 0.5 + h, r);
        ctx.lineTo(0.5 + r, 0.5 + h);
        ctx.arcTo(0.5, 0.5 + h, 0.5, 0.5 + h - r, r);
        ctx.lineTo(0.5, 0.5 + r);
        ctx.arcTo(0.5, 0.5, 0.5 + r, 0.5, r);
        ctx.closePath();
        ctx.stroke();
    }
}
