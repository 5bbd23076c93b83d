import QtQuick
import QtQuick.Controls

// The recap's and the History window's buttons in one place, so that they can take the shared pill style.
Button {
    id: button
    property bool selected: false
    property string iconName
    icon.source: iconName ? "qrc:/Tavrine/HistoryView/icons/" + iconName + ".svg" : ""
    icon.color: palette.buttonText
    highlighted: selected
}
