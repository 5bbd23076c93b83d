import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavrine.Ui
import Tavrine.HistoryView

// The History window's content: the sessions by day on the left, the selected one on the right.
Item {
    id: root
    required property HistoryBrowser browser
    implicitWidth: 640
    implicitHeight: 420
    // The desktop's colours as they are now, for the controls too (the title strip, the delete button, the scroll
    // bar, the row menu): the style took its own palette when it loaded, and a dark theme handed to the
    // application at start never reaches it.
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
    palette.highlight: system.highlight
    palette.highlightedText: system.highlightedText

    SystemPalette { id: system }

    // The window only hides when closed, and the browser lives on: each opening starts on the newest session, as a
    // new window would, before its first frame. (The window's own visibleChanged is not emitted to QML for a window
    // hidden and shown from C++; the attached visibility is.)
    readonly property bool shown: Window.visibility !== Window.Hidden
    onShownChanged: if (shown) root.browser.open()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // What is wrong with the history file, above everything it concerns.
        Label {
            objectName: "storeNotice"
            visible: text.length > 0
            Layout.fillWidth: true
            padding: 8
            text: root.browser.storeNotice
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: Math.round(11)
            color: SystemInk.readableOn(SessionColors.detourColor, background.color)
            background: Rectangle {
                color: Qt.rgba(SessionColors.detourColor.r, SessionColors.detourColor.g, SessionColors.detourColor.b, 0.12)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            ColumnLayout {
                Layout.fillHeight: true
                Layout.minimumWidth: 220
                Layout.preferredWidth: 250
                Layout.maximumWidth: 320
                spacing: 0

                ToolBar {
                    Layout.fillWidth: true
                    // A strip as high as the delete button (the style's is 40).
                    implicitHeight: 28
                    RowLayout {
                        anchors.fill: parent
                        Label {
                            objectName: "historyTitle"
                            text: qsTr("History")
                            color: SystemInk.text
                            font.bold: true
                            Layout.leftMargin: 8
                            Layout.fillWidth: true
                        }
                        ToolButton {
                            objectName: "deleteSession"
                            enabled: root.browser.hasSelection
                            icon.source: "qrc:/Tavrine/HistoryView/icons/trash.svg"
                            // Faint while there is nothing to delete.
                            icon.color: enabled ? SystemInk.text : SystemInk.secondaryText
                            display: AbstractButton.IconOnly
                            icon.width: 16
                            icon.height: 16
                            implicitWidth: 28
                            implicitHeight: 28
                            text: qsTr("Delete session")
                            ToolTip.text: text
                            ToolTip.visible: hovered
                            Accessible.name: text
                            onClicked: root.browser.deleteSelected()
                        }
                    }
                }

                ListView {
                    id: list
                    objectName: "historyList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    focus: true
                    model: root.browser.listModel
                    currentIndex: root.browser.selectedRow
                    keyNavigationEnabled: true
                    highlightMoveDuration: 0
                    ScrollBar.vertical: ScrollBar {}
                    Keys.onDeletePressed: root.browser.deleteSelected()
                    Keys.onPressed: event => {
                        if (event.key === Qt.Key_Backspace) {
                            root.browser.deleteSelected()
                            event.accepted = true
                        }
                    }
                    section.property: "dayKey"
                    section.delegate: Label {
                        required property string section
                        width: ListView.view.width
                        leftPadding: 10
                        topPadding: 8
                        bottomPadding: 2
                        text: root.browser.listModel.dayTitle(section, root.browser.listModel.today)
                        font.bold: true
                        font.pixelSize: Math.round(11)
                        color: SystemInk.secondaryText
                    }

                    delegate: ItemDelegate {
                        id: row
                        required property int index
                        required property string sessionId
                        required property string title
                        required property string subtitle
                        objectName: "historyRow"
                        width: ListView.view.width
                        topPadding: 2
                        bottomPadding: 2
                        Accessible.name: title + ", " + subtitle
                        // The selection tinted in the application's accent, over the list's own background.
                        background: Rectangle {
                            color: row.ListView.isCurrentItem ? Qt.rgba(AppStyle.accentColor.r, AppStyle.accentColor.g,
                                                                        AppStyle.accentColor.b, 0.25) : "transparent"
                            radius: 5
                        }
                        contentItem: ColumnLayout {
                            spacing: 2
                            Label {
                                Layout.fillWidth: true
                                text: row.title
                                textFormat: Text.PlainText
                                color: SystemInk.readableOn(SystemInk.text, row.background.color)
                                elide: Text.ElideRight
                                maximumLineCount: 1
                            }
                            Label {
                                Layout.fillWidth: true
                                text: row.subtitle
                                textFormat: Text.PlainText
                                elide: Text.ElideRight
                                maximumLineCount: 1
                                font.pixelSize: Math.round(11)
                                color: SystemInk.secondaryOn(row.background.color)
                            }
                        }
                        onClicked: {
                            list.forceActiveFocus()
                            root.browser.select(row.sessionId)
                        }
                        TapHandler {
                            acceptedButtons: Qt.RightButton
                            onTapped: contextMenu.popup()
                        }
                        Menu {
                            id: contextMenu
                            MenuItem {
                                text: qsTr("Delete")
                                onTriggered: root.browser.deleteSession(row.sessionId)
                            }
                        }
                    }
                }
            }

            Rectangle { Layout.fillHeight: true; Layout.preferredWidth: 1; color: system.mid }

            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true

                ColumnLayout {
                    objectName: "historyPlaceholder"
                    visible: !root.browser.hasSelection
                    anchors.centerIn: parent
                    spacing: 8
                    Image {
                        Layout.alignment: Qt.AlignHCenter
                        source: "qrc:/Tavrine/HistoryView/icons/clock.arrow.circlepath.svg"
                        sourceSize: Qt.size(48, 48)
                    }
                    Label {
                        Layout.alignment: Qt.AlignHCenter
                        text: root.browser.placeholderTitle
                        color: SystemInk.text
                        font.pixelSize: Math.round(17)
                        font.bold: true
                    }
                    Label {
                        Layout.alignment: Qt.AlignHCenter
                        visible: text.length > 0
                        text: root.browser.placeholderText
                        color: SystemInk.secondaryText
                    }
                }

                ColumnLayout {
                    objectName: "historyDetail"
                    visible: root.browser.hasSelection
                    anchors.fill: parent
                    anchors.margins: 24
                    spacing: 18

                    ColumnLayout {
                        spacing: 4
                        Layout.fillWidth: true
                        Label {
                            objectName: "detailTitle"
                            Layout.fillWidth: true
                            text: root.browser.detailTitle
                            textFormat: Text.PlainText
                            color: SystemInk.text
                            font.pixelSize: Math.round(17)
                            font.weight: Font.DemiBold
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                        }
                        Label {
                            objectName: "detailSubtitle"
                            text: root.browser.detailSubtitle
                            textFormat: Text.PlainText
                            color: SystemInk.secondaryText
                        }
                    }
                    RowLayout {
                        spacing: 28
                        Repeater {
                            model: [
                                { value: root.browser.focusedValue, label: qsTr("Focused") },
                                { value: root.browser.streakValue, label: qsTr("Longest streak") },
                                { value: root.browser.detoursValue, label: qsTr("Detours") }
                            ]
                            ColumnLayout {
                                id: figure
                                required property var modelData
                                spacing: 2
                                Accessible.role: Accessible.StaticText
                                Accessible.name: modelData.label + ", " + modelData.value
                                Label {
                                    text: figure.modelData.value
                                    textFormat: Text.PlainText
                                    color: SystemInk.text
                                    font.pixelSize: Math.round(22)
                                    font.weight: Font.DemiBold
                                }
                                Label {
                                    text: figure.modelData.label
                                    font.pixelSize: Math.round(11)
                                    color: SystemInk.secondaryText
                                }
                            }
                        }
                    }
                    Label {
                        visible: !root.browser.hasActivity
                        text: qsTr("Nothing was logged in this session.")
                        font.pixelSize: Math.round(11)
                        color: SystemInk.secondaryText
                    }
                    SessionTimelineView {
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        model: root.browser.timeline
                        selection: root.browser.segmentSelection
                        showsCluesOverTimeline: false
                        expandsSelection: true
                        onSelectionRequested: id => root.browser.segmentSelection = id
                    }
                }
            }
        }
    }
}
