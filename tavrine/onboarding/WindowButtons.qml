import QtQuick

// The three buttons of a mock window, in the leading space its WindowBar leaves free. Only the close button
// works: the stage's windows never close, so it asks the stage to skip the rehearsal instead.
Row {
    id: root
    // The close button's objectName, which tests and accessibility tools find it by.
    property string closeName
    signal closeClicked()

    x: 18
    y: (46 - height) / 2
    spacing: 8

    Rectangle {
        objectName: root.closeName
        width: 12; height: 12; radius: 6
        color: "#ff5f57"
        border.width: 0.5
        border.color: Qt.rgba(0, 0, 0, 0.15)
        Accessible.role: Accessible.Button
        Accessible.name: qsTr("Close")
        Accessible.onPressAction: root.closeClicked()
        MouseArea { anchors.fill: parent; onClicked: root.closeClicked() }
    }
    Repeater {
        model: ["#febc2e", "#28c840"]
        Rectangle {
            required property string modelData
            width: 12; height: 12; radius: 6
            color: modelData
            border.width: 0.5
            border.color: Qt.rgba(0, 0, 0, 0.15)
            Accessible.ignored: true
        }
    }
}
