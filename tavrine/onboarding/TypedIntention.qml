import QtQuick
import Tavrine.Onboarding
import Tavrine.Ui

// The rehearsal's first intention, typed out behind a thin blinking caret in a selected pill. Display only.
Item {
    id: root
    required property TypedIntentionModel model

    implicitHeight: 40
    Accessible.ignored: true

    PillSurface {
        anchors.fill: parent
        selected: true
        dark: false
    }
    Row {
        anchors.left: parent.left
        anchors.leftMargin: 16
        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        spacing: 1
        clip: true

        Text {
            objectName: "typedIntentionText"
            anchors.verticalCenter: parent.verticalCenter
            text: root.model.shown
            textFormat: Text.PlainText
            font.pixelSize: 14
            color: Qt.rgba(0.12, 0.14, 0.18, 1)
            maximumLineCount: 1
        }
        Rectangle {
            objectName: "typedIntentionCaret"
            anchors.verticalCenter: parent.verticalCenter
            width: 1.5
            height: 17
            color: AppStyle.accentColor
            opacity: root.model.caretVisible ? 1 : 0
        }
    }

    Component.onCompleted: model.begin()
    Component.onDestruction: model.end()
}
