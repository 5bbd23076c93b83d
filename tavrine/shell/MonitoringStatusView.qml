import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.Shell

// One line that says whether Tavrine can watch the screen, with "Fix" for a missing permission.
Rectangle {
    id: root
    objectName: "monitoringStatus"

    required property MonitoringStatusModel model

    SystemPalette { id: palette }
    readonly property color tint: model.warning ? (PillMetrics.dark ? "#ff9f0a" : "#ff9500") : SystemInk.secondaryText
    // The secondary style, on the tinted background.
    readonly property color secondary: SystemInk.secondaryOn(color)

    implicitHeight: row.implicitHeight + 16
    implicitWidth: row.implicitWidth + 20
    radius: 8
    color: Qt.rgba(tint.r, tint.g, tint.b, 0.08)

    Accessible.role: Accessible.StaticText
    Accessible.name: model.text

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 8

        BusyIndicator {
            objectName: "monitoringSpinner"
            visible: root.model.spinner
            running: visible
            Layout.preferredWidth: 16
            Layout.preferredHeight: 16
        }
        SymbolIcon {
            objectName: "monitoringSymbol"
            visible: !root.model.spinner
            symbol: root.model.symbol
            size: 14
            color: root.tint
        }
        Text {
            objectName: "monitoringText"
            Layout.fillWidth: true
            Layout.minimumWidth: 4
            text: root.model.text
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: 11
            color: root.secondary
        }
        PillButton {
            objectName: "monitoringFix"
            visible: root.model.hasFix
            controlSize: PillMetrics.Small
            text: "Fix"
            onClicked: root.model.fix()
        }
    }
}
