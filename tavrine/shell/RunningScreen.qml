import QtQuick
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.Shell

// The running session: its title, the countdown, the drift line, the monitoring strip when a permission is
// missing, and "Take a break" / "Resume focus" and "End session".
ColumnLayout {
    id: root

    required property RunningSessionModel model
    required property MonitoringStatusModel monitoring
    // Room above the title for what the host lays over the screen's top edge; the title keeps its own 8 at least.
    property real titleTopInset: 0

    spacing: 8

    SystemPalette { id: palette }

    Item {
        Layout.fillWidth: true
        Layout.topMargin: Math.max(8, root.titleTopInset)
        implicitHeight: root.model.isFocusSession ? focusTitle.implicitHeight : intentionTitle.implicitHeight

        Row {
            id: focusTitle
            objectName: "focusModeTitle"
            visible: root.model.isFocusSession
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 6
            Accessible.role: Accessible.StaticText
            Accessible.name: "Focus mode"
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: "moon.fill"
                size: 18
                color: palette.windowText
            }
            Text {
                text: "Focus mode"
                font.pixelSize: 20
                font.weight: Font.Medium
                color: palette.windowText
            }
        }

        Text {
            id: intentionTitle
            objectName: "intentionTitle"
            visible: !root.model.isFocusSession
            width: parent.width
            text: root.model.title
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: 20
            font.weight: Font.Medium
            color: palette.windowText
        }
    }

    // Every character in a cell as wide as the widest digit, so the countdown does not jitter.
    Row {
        id: countdown
        objectName: "timer"
        Layout.alignment: Qt.AlignHCenter
        opacity: root.model.countdownOpacity
        Accessible.role: Accessible.StaticText
        Accessible.name: root.model.countdown

        FontMetrics {
            id: metrics
            font: countdownFont.font
        }
        Text { id: countdownFont; visible: false; font.pixelSize: 72; font.weight: Font.Thin }
        readonly property real digitWidth: {
            let widest = 0;
            for (let d = 0; d < 10; ++d)
                widest = Math.max(widest, metrics.advanceWidth(String(d)));
            return Math.ceil(widest);
        }

        Repeater {
            model: root.model.countdown.split("")
            delegate: Text {
                required property string modelData
                width: modelData >= "0" && modelData <= "9" ? countdown.digitWidth : implicitWidth
                horizontalAlignment: Text.AlignHCenter
                text: modelData
                font: countdownFont.font
                color: palette.windowText
            }
        }
    }

    Text {
        objectName: "drift"
        visible: root.model.showsDrift
        Layout.alignment: Qt.AlignHCenter
        text: root.model.driftText
        textFormat: Text.PlainText
        font.pixelSize: 15
        color: palette.windowText
        opacity: 0.55
        Accessible.name: text
    }

    // The history would not keep the session as it stands (a disk that turned read-only or full): said where
    // the user looks while it runs, not only in History.
    Text {
        objectName: "storeNotice"
        visible: text.length > 0
        Layout.fillWidth: true
        text: root.model.storeNotice
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        font.pixelSize: 12
        color: palette.windowText
        opacity: 0.75
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    MonitoringStatusView {
        visible: root.model.showsMonitoringStatus
        Layout.fillWidth: true
        Layout.topMargin: 4
        model: root.monitoring
    }

    RowLayout {
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: 12
        spacing: 12

        PillButton {
            objectName: "pauseResume"
            text: root.model.pauseResumeTitle
            onClicked: root.model.togglePause()
        }
        PillButton {
            objectName: "stop"
            text: "End session"
            onClicked: root.model.endSession()
        }
    }
}
