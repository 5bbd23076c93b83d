import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.HistoryView

// The recap of a finished session: the tilted card, "Share card" once its image is ready, "Again" (Return),
// the timeline when anything was logged, and "All sessions".
Item {
    id: root
    required property RecapViewModel model
    implicitWidth: 420
    implicitHeight: column.implicitHeight

    Component.onCompleted: Qt.callLater(root.model.refreshShareImage)
    Connections {
        target: root.model
        function onSummaryChanged() { Qt.callLater(root.model.refreshShareImage) }
    }
    Keys.onReturnPressed: root.model.again()
    Keys.onEnterPressed: root.model.again()
    focus: true

    ColumnLayout {
        id: column
        width: parent.width
        spacing: 18

        Item {
            Layout.topMargin: 20
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: recapCard.width
            implicitHeight: recapCard.height
            SoftShadow {
                // The software renderer has always drawn the card without its shadow.
                visible: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                anchors.fill: recapCard
                rotation: recapCard.rotation
                cornerRadius: recapCard.radius
                fill: recapCard.color
                color: Qt.rgba(0, 0, 0, 0.25)
                blurRadius: 18
                verticalOffset: 10
            }
            SessionRecapCard {
                id: recapCard
                card: root.model.card
                rotation: -1.2
                antialiasing: true
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 24
            Layout.rightMargin: 24
            spacing: 10
            RecapButton {
                objectName: "shareRecap"
                visible: root.model.hasShareImage
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
                color: palette.link
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
        anchors.centerIn: parent
        padding: 16
        onClosed: root.model.clearSaveError()
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
                    onClicked: saveDialog.open()
                }
                RecapButton {
                    objectName: "copyImage"
                    text: qsTr("Copy image")
                    onClicked: if (root.model.copyImage()) sharePopup.close()
                }
            }
        }
    }

    FileDialog {
        id: saveDialog
        objectName: "saveDialog"
        // The window the recap is in now: a dialog keeps the window it found when it was made, which is none
        // for a recap made first and placed in its window afterwards, and then it never opens.
        parentWindow: root.Window.window
        title: qsTr("Save image")
        fileMode: FileDialog.SaveFile
        nameFilters: [qsTr("PNG images (*.png)")]
        currentFolder: root.model.saveFolder
        selectedFile: root.model.saveFolder + "/" + root.model.suggestedFileName
        onAccepted: if (root.model.saveImage(selectedFile)) sharePopup.close()
    }
}
