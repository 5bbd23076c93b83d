import QtQuick
import QtQuick.Controls
import GlobalShortcuts

// A shortcut recorder with an optional label beside it. Set `name` (a shortcutName) to edit a name's stored
// shortcut, or bind `shortcut` to edit a value of your own (then `change` is where the new value comes back).
// In a two-column form, give every recorder the same labelWidth so that the fields line up.
Item {
    id: root

    property alias name: controller.name
    property alias shortcut: controller.shortcut
    // function(shortcut) answering null to allow it or { disallow: reason } to refuse it.
    property alias validateShortcut: controller.validateShortcut
    property string label
    property real labelWidth: labelText.implicitWidth
    property real spacing: 8
    readonly property alias recording: controller.recording
    readonly property alias controller: controller

    signal change(var shortcut)

    implicitWidth: field.x + field.implicitWidth
    implicitHeight: Math.max(field.implicitHeight, labelText.implicitHeight)

    Label {
        id: labelText
        objectName: "recorderLabel"
        visible: root.label.length > 0
        text: root.label
        textFormat: Text.PlainText
        width: root.labelWidth
        horizontalAlignment: Text.AlignRight
        anchors.baseline: field.baseline
    }

    TextField {
        id: field
        objectName: "recorderField"
        x: labelText.visible ? root.labelWidth + root.spacing : 0
        anchors.verticalCenter: parent.verticalCenter
        implicitWidth: Math.max(controller.minimumWidth, implicitBackgroundWidth + leftInset + rightInset,
                                placeholder.implicitWidth + leftPadding + rightPadding)
        readOnly: true
        selectByMouse: false
        horizontalAlignment: TextInput.AlignHCenter
        text: controller.text
        // The style hides its placeholder in a focused, centred field, which is what a recording field is:
        // the recorder draws its own, so that "Press Shortcut" shows while it records.
        placeholderText: ""
        // Room for the clear button only while it shows (the text stays centred), so the idle placeholder is whole.
        leftPadding: clearButton.visible ? clearButton.width + 4 : 6
        rightPadding: clearButton.visible ? clearButton.width + 4 : 6
        cursorDelegate: Rectangle {
            width: 1
            color: field.color
            visible: field.cursorVisible && !controller.recording
        }
        // A compact field of one line, as a recorder in a form row is (the style's own is 40 high).
        topPadding: 3
        bottomPadding: 3
        background: Rectangle {
            implicitWidth: 120
            implicitHeight: 24
            color: field.palette.base
            border.width: field.activeFocus ? 2 : 1
            border.color: field.activeFocus ? field.palette.highlight : field.palette.mid
        }
        Accessible.name: root.label
        Accessible.description: controller.placeholderText

        Text {
            id: placeholder
            objectName: "recorderPlaceholder"
            x: field.leftPadding
            width: field.width - field.leftPadding - field.rightPadding
            anchors.verticalCenter: parent.verticalCenter
            visible: field.length === 0
            text: controller.placeholderText
            textFormat: Text.PlainText
            font: field.font
            color: field.placeholderTextColor
            horizontalAlignment: Text.AlignHCenter
        }

        AbstractButton {
            id: clearButton
            objectName: "clearButton"
            visible: controller.clearButtonVisible
            focusPolicy: Qt.NoFocus
            width: 16
            height: 16
            anchors.right: parent.right
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            Accessible.name: qsTr("Clear")
            contentItem: Text {
                text: "\u2715"
                color: field.placeholderTextColor
                font.pixelSize: 11
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
            }
            onClicked: controller.clear()
        }
    }

    RecorderController {
        id: controller
        field: field
        clearButton: clearButton
        onChange: shortcut => root.change(shortcut)
        onAlertRequested: (message, informativeText, buttons) => alert.show(message, informativeText, buttons)
    }

    // The recorder's alerts, modal in the field's window. The answer is given once the dialog is closed, so that
    // the field can take the focus back. It stays the recorder's child, centred over the window: so it takes the
    // colours of the form it is in, as a dialog moved into the window's overlay does not.
    Dialog {
        id: alert
        objectName: "recorderAlert"
        property string message
        property string informativeText
        property var buttons: []
        property int response: 1000

        function show(message, informativeText, buttons) {
            alert.message = message
            alert.informativeText = informativeText
            alert.buttons = buttons
            alert.response = 1000
            alert.open()
        }
        function answer(response) {
            alert.response = response
            alert.close()
        }

        anchors.centerIn: Overlay.overlay
        modal: true
        closePolicy: Popup.CloseOnEscape
        width: Math.min(360, Overlay.overlay ? Overlay.overlay.width - 24 : 360)
        onClosed: controller.answerAlert(alert.response)

        contentItem: Column {
            spacing: 8
            Label {
                objectName: "alertMessage"
                width: parent.width
                text: alert.message
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.bold: true
            }
            Label {
                objectName: "alertInformativeText"
                width: parent.width
                visible: text.length > 0
                text: alert.informativeText
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
            }
        }
        footer: Row {
            layoutDirection: Qt.RightToLeft
            spacing: 8
            padding: 12
            Repeater {
                model: alert.buttons
                Button {
                    objectName: "alertButton" + index
                    required property int index
                    required property string modelData
                    text: modelData
                    onClicked: alert.answer(1000 + index)
                }
            }
        }
    }
}
