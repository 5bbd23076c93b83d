import QtQuick

// A rounded rectangle filled with a gradient from its top-left corner to its bottom-right one, the colours spaced
// evenly. Painted on a canvas because a Rectangle's gradient runs only down or across, and the shader-drawn
// gradients draw nothing under Qt Quick's software renderer.
Canvas {
    id: root
    property real radius: 0
    property var colors: []

    onColorsChanged: requestPaint()
    onRadiusChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()
    onPaint: {
        const ctx = getContext("2d");
        ctx.reset();
        if (width <= 0 || height <= 0 || colors.length === 0)
            return;
        const gradient = ctx.createLinearGradient(0, 0, width, height);
        const last = Math.max(1, colors.length - 1);
        for (let i = 0; i < colors.length; ++i)
            gradient.addColorStop(colors.length === 1 ? 0 : i / last, colors[i]);
        const r = Math.max(0, Math.min(radius, width / 2, height / 2));
        ctx.fillStyle = gradient;
        ctx.beginPath();
        ctx.roundedRect(0, 0, width, height, r, r);
        ctx.closePath();
        ctx.fill();
    }
}
