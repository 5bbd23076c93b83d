import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.HistoryView

// The recap of a finished session: the tilted card, "Share card" (enabled once its image is ready), "Again"
// (Return), the timeline when anything was logged, and "All sessions".
Item {
    id: root
    required property RecapViewModel model
    implicitWidth: 420
    implicitHeight: column.implicitHeight

    // The desktop's colours for every control here, the share popup included: the style's own are a light
    // scheme's, which would put a white popup over a dark window.
    palette.window: system.window
    palette.windowText: system.windowText
    palette.base: system.base
    palette.alternateBase: system.alternateBase
    palette.text: system.text
    palette.button: system.button
    palette.buttonText: system.buttonText
    palette.light: system.light
    palette.midlight: system.midlight
    palette.mid: system.mid
    palette.dark: system.dark
    palette.shadow: system.shadow
    SystemPalette { id: system }

    // The share image is made once the recap is on screen in its window, never on the way to its first frame.
    readonly property QtObject hostWindow: root.Window.window
    function askForShareImage() {
        if (root.hostWindow)
            root.model.refreshShareImageWhenShown(root.hostWindow)
    }
    onHostWindowChanged: askForShareImage()
    Component.onCompleted: askForShareImage()
    Connections {
        target: root.model
        function onSummaryChanged() { root.askForShareImage() }
        function onShared() { sharePopup.close() }
    }
    Keys.onReturnPressed: if (!sharePopup.visible) root.model.again()
    Keys.onEnterPressed: if (!sharePopup.visible) root.model.again()
    focus: true
    // A popup left open over the screen that follows would hold an empty share card.
    onVisibleChanged: if (!visible) sharePopup.close()

    ColumnLayout {
        id: column
        width: parent.width
        spacing: 18

        Item {
            Layout.topMargin: 20
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: recapCard.width
            implicitHeight: recapCard.height
            // The card and its shadow are drawn upright into one smoothed, mipmapped layer with room around
            // them, and the layer is tilted: every edge of the card lies inside the texture, so the tilt
            // filters it smoothly instead of stepping it pixel by pixel.
            Item {
                id: tilted
                readonly property real room: 40
                x: -room
                y: -room
                width: recapCard.width + 2 * room
                height: recapCard.height + 2 * room
                rotation: -1.2
                antialiasing: true
                layer.enabled: true
                layer.smooth: true
                layer.mipmap: true
                Shadow {
                    // The software renderer has always drawn the card without its shadow.
                    visible: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                    anchors.fill: recapCard
                    cornerRadius: recapCard.radius
                    fill: recapCard.color
                    color: Qt.rgba(0, 0, 0, 0.25)
                    blurRadius: 18
                    verticalOffset: 10
                }
                SessionRecapCard {
                    id: recapCard
                    x: tilted.room
                    y: tilted.room
                    card: root.model.card
                    antialiasing: true
                }
            }
        }

        Label {
            objectName: "recapStoreNotice"
            visible: text.length > 0
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            text: root.model.storeNotice
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: Math.round(11)
            // The detour red, lightened or darkened as far as the window's colour needs.
            color: SystemInk.readableOn(SessionColors.detourColor)
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            spacing: 10
            // Both buttons hold their places from the first frame: the image comes a moment after the recap, and
            // a button appearing then would move "Again" from under a click already on its way.
            RecapButton {
                objectName: "shareRecap"
                enabled: root.model.hasShareImage
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                text: qsTr("Share card")
                iconName: "square.and.arrow.up"
                onClicked: sharePopup.open()
            }
            RecapButton {
                objectName: "again"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                text: qsTr("Again")
                selected: true
                onClicked: root.model.again()
            }
        }

        Label {
            objectName: "shareNote"
            visible: text.length > 0
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: -10
            text: root.model.shareNote
            textFormat: Text.PlainText
            font.pixelSize: 11
            opacity: 0.7
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 8
            SessionTimelineView {
                visible: root.model.hasActivity
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24
                Layout.preferredHeight: 180
                model: root.model.timeline
                selection: root.model.selectedSegment
                showsCluesOverTimeline: true
                expandsSelection: false
                onSelectionRequested: id => root.model.selectedSegment = id
            }
            Label {
                objectName: "allSessions"
                Layout.alignment: Qt.AlignHCenter
                text: qsTr("All sessions")
                font.pixelSize: Math.round(11)
                font.underline: linkArea.containsMouse
                color: SystemInk.link
                Accessible.role: Accessible.Link
                Accessible.name: text
                Accessible.onPressAction: root.model.showHistory()
                MouseArea {
                    id: linkArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: root.model.showHistory()
                }
            }
        }
    }

    Popup {
        id: sharePopup
        objectName: "sharePopup"
        modal: true
        // The keys are the popup's while it is open: Escape closes it, Return reaches nothing behind it.
        focus: true
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        anchors.centerIn: parent
        padding: 16
        onClosed: root.model.clearSaveError()
        onAboutToHide: if (root.visible) root.forceActiveFocus()
        contentItem: ColumnLayout {
            spacing: 12
            Label {
                text: qsTr("My tavrine session")
                font.bold: true
            }
            SharePreview {
                Layout.preferredWidth: 240
                Layout.preferredHeight: 300
                image: root.model.sharePreview
            }
            Label {
                objectName: "saveError"
                visible: root.model.saveError.length > 0
                Layout.maximumWidth: 240
                text: root.model.saveError
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: SessionColors.detourColor
            }
            RowLayout {
                RecapButton {
                    objectName: "saveImage"
                    text: qsTr("Save image\u2026")
                    // A dialog window of its own: the recap's window is too small to hold one.
                    onClicked: root.model.chooseImageFile(root.Window.window)
                }
                RecapButton {
                    objectName: "copyImage"
                    text: qsTr("Copy image")
                    onClicked: root.model.copyImage()
                }
            }
        }
    }
}
