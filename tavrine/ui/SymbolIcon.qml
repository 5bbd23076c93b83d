import QtQuick
import QtQuick.Controls.impl as Impl

// One of the application's symbols (resources/icons/<symbol>.svg), tinted with `color`.
Impl.IconImage {
    id: root
    property string symbol
    property real size: 16

    source: symbol ? "qrc:/icons/" + symbol + ".svg" : ""
    sourceSize: Qt.size(size, size)
    width: size
    height: size
    fillMode: Image.PreserveAspectFit
}
