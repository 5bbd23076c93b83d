import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl as Impl
import QtQuick.Layouts
import GlobalShortcuts
import Tavrine.Ui
import Tavrine.Shell

// The settings form: 440 wide, as tall as its sections. What each row says and does comes from the model; the
// top band of the scrolled area fades out, and at rest nothing sits in it.
Pane {
    id: root

    property QtObject session
    property SettingsModel settings

    readonly property real formWidth: 440
    readonly property real fadeBand: 44
    readonly property real sidePadding: 20
    readonly property color secondaryText: Qt.rgba(system.windowText.r, system.windowText.g, system.windowText.b,
                                                   0.62)
    readonly property color groupFill: Qt.rgba(system.base.r, system.base.g, system.base.b, 0.65)
    readonly property color groupLine: Qt.rgba(system.windowText.r, system.windowText.g, system.windowText.b,
                                               0.12)

    padding: 0
    background: null
    implicitWidth: formWidth
    implicitHeight: form.implicitHeight
    // The desktop's colours as they are now (they change with its light or dark scheme), tinted.
    palette.window: system.window
    palette.windowText: system.windowText
    palette.base: system.base
    palette.text: system.text
    palette.button: system.button
    palette.buttonText: system.buttonText
    palette.mid: system.mid
    palette.dark: system.dark
    palette.placeholderText: SystemInk.secondaryText
    palette.highlight: AppStyle.accentColor

    SystemPalette { id: system }

    component SectionHeader: Label {
        Layout.topMargin: 14
        Layout.leftMargin: 10
        font.pixelSize: 12
        font.weight: Font.DemiBold
        color: root.secondaryText
        textFormat: Text.PlainText
    }
    component Caption: Label {
        Layout.fillWidth: true
        font.pixelSize: 11
        color: root.secondaryText
        wrapMode: Text.WordWrap
        textFormat: Text.PlainText
    }
    component Group: Rectangle {
        default property alias rows: rowsColumn.data
        Layout.fillWidth: true
        implicitHeight: rowsColumn.implicitHeight + 20
        radius: 8
        color: root.groupFill
        border.color: root.groupLine
        ColumnLayout {
            id: rowsColumn
            x: 12
            y: 10
            width: parent.width - 24
            spacing: 8
        }
    }
    component FormButton: AdaptiveButton {
        // Never prominent: the form's buttons are all equal.
        prominent: false
        controlSize: PillMetrics.Small
    }
    // A form row: the label on the left, the switch at the right edge.
    component FormSwitch: RowLayout {
        id: formRow
        property alias text: label.text
        property alias checked: control.checked
        signal toggled()
        Layout.fillWidth: true
        Label { id: label; textFormat: Text.PlainText; Layout.fillWidth: true }
        PillSwitch {
            id: control
            objectName: formRow.objectName + "Switch"
            padding: 0
            Accessible.name: label.text
            onToggled: formRow.toggled()
        }
    }
    component PermissionRow: RowLayout {
        id: row
        property string title
        property bool granted
        signal enable()
        Layout.fillWidth: true
        Impl.IconImage {
            objectName: row.objectName + "Symbol"
            readonly property string symbol: root.settings ? root.settings.permissionSymbol(row.granted) : ""
            visible: symbol.length > 0
            source: "qrc:/Tavrine/Shell/icons/" + symbol + ".svg"
            sourceSize: Qt.size(16, 16)
            // Drawn in the label's colour, as a symbol beside a label is.
            color: SystemInk.text
            Layout.preferredWidth: 16
            Layout.preferredHeight: 16
        }
        Label { text: row.title; textFormat: Text.PlainText; Layout.fillWidth: true }
        FormButton {
            objectName: row.objectName + "Enable"
            visible: !row.granted
            text: "Enable"
            controlSize: PillMetrics.Mini
            onClicked: row.enable()
        }
    }

    ScrollView {
        id: scroller
        objectName: "settingsScroller"
        anchors.fill: parent
        contentWidth: availableWidth
        clip: true
        ScrollBar.horizontal.policy: ScrollBar.AlwaysOff

        ColumnLayout {
            id: form
            objectName: "settingsForm"
            width: scroller.availableWidth
            spacing: 6

            Item { Layout.preferredHeight: root.fadeBand - 14 }

            ColumnLayout {
                Layout.leftMargin: root.sidePadding
                Layout.rightMargin: root.sidePadding
                Layout.bottomMargin: 20
                Layout.fillWidth: true
                spacing: 6

                SectionHeader { text: "Permissions" }
                Group {
                    PermissionRow {
                        objectName: "accessibility"
                        title: "Accessibility"
                        granted: root.session ? root.session.accessibilityReady : false
                        onEnable: root.settings.requestAccessibility()
                    }
                    PermissionRow {
                        objectName: "screenRecording"
                        title: "Screen Recording"
                        granted: root.session ? root.session.screenReady : false
                        onEnable: root.settings.requestScreenRecording()
                    }
                    Caption {
                        objectName: "screenRecordingCaption"
                        visible: root.session ? !root.session.screenReady : false
                        text: "Required for window capture."
                    }
                    Caption {
                        objectName: "restartCaption"
                        visible: root.settings ? root.settings.accessibilityRequested : false
                        text: "Applications that were already open show their text after a restart."
                    }
                }

                SectionHeader { text: "General" }
                Group {
                    Caption {
                        objectName: "settingsFileCaption"
                        visible: text.length > 0
                        text: root.settings ? root.settings.settingsFileProblem : ""
                    }
                    FormSwitch {
                        objectName: "launchAtLogin"
                        text: "Open at Login"
                        checked: root.settings ? root.settings.launchesAtLogin : false
                        // Whatever was asked, the switch then shows what the desktop has.
                        onToggled: {
                            root.settings.setLaunchAtLogin(checked)
                            checked = Qt.binding(() => root.settings.launchesAtLogin)
                        }
                    }
                }

                SectionHeader { text: "Keyboard" }
                Group {
                    ShortcutRecorder {
                        objectName: "openTavrineShortcut"
                        label: "Open Tavrine"
                        name: root.settings ? root.settings.openMainWindowShortcut : undefined
                    }
                }

                SectionHeader { text: "Spoken nudge" }
                Group {
                    FormSwitch {
                        objectName: "speakNudges"
                        text: "Speak nudges"
                        checked: root.session ? root.session.speakNudges : false
                        onToggled: {
                            root.session.speakNudges = checked
                            checked = Qt.binding(() => root.session.speakNudges)
                        }
                    }
                    Caption { text: "Tavrine reads each nudge aloud." }
                }

                SectionHeader { text: "History" }
                Group {
                    FormButton {
                        objectName: "clearHistory"
                        text: "Clear history…"
                        onClicked: clearDialog.open()
                    }
                    Caption {
                        objectName: "clearHistoryError"
                        visible: text.length > 0
                        text: root.settings ? root.settings.clearHistoryError : ""
                        color: "#c0392b"
                    }
                    Caption { text: "Your sessions stay on this computer until you clear them." }
                }

                SectionHeader { text: "Updates" }
                Group {
                    FormButton {
                        objectName: "checkForUpdates"
                        text: "Check for Updates…"
                        onClicked: root.settings.checkForUpdates()
                    }
                    Caption {
                        objectName: "updateCaption"
                        visible: text.length > 0
                        text: root.settings ? root.settings.updateCaption : ""
                    }
                    Caption {
                        objectName: "updatePolicyCaption"
                        text: root.settings ? root.settings.updatePolicyCaption : ""
                    }
                }

                SectionHeader { text: "About" }
                Group {
                    Label {
                        objectName: "sendFeedback"
                        text: "Send feedback"
                        color: AppStyle.accentColor
                        font.underline: feedbackArea.containsMouse
                        textFormat: Text.PlainText
                        Accessible.role: Accessible.Link
                        Accessible.name: text
                        Accessible.onPressAction: root.settings.sendFeedback()
                        MouseArea {
                            id: feedbackArea
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: root.settings.sendFeedback()
                        }
                    }
                    Caption {
                        objectName: "feedbackAddress"
                        visible: root.settings ? root.settings.showsFeedbackAddress : false
                        text: root.settings ? "Write to " + root.settings.feedbackAddress : ""
                    }
                }

                Group {
                    Layout.topMargin: 14
                    FormButton {
                        objectName: "quit"
                        text: "Quit"
                        onClicked: root.settings.quit()
                    }
                }
                Caption {
                    objectName: "appVersion"
                    horizontalAlignment: Text.AlignHCenter
                    text: root.settings ? root.settings.versionText : ""
                }
            }
        }
    }

    // The fade under the title band: what scrolls up is hidden at the very top and fully drawn fadeBand below
    // it. Drawn over the form in the window's own colour rather than as a mask, which the software renderer
    // (no OpenGL) could not draw.
    Rectangle {
        objectName: "settingsTitleFade"
        anchors.left: scroller.left
        anchors.right: scroller.right
        anchors.top: scroller.top
        anchors.rightMargin: scroller.ScrollBar.vertical ? scroller.ScrollBar.vertical.width : 0
        height: root.fadeBand
        gradient: Gradient {
            GradientStop { position: 0.0; color: Frosted.windowColor }
            GradientStop { position: 1.0; color: Qt.rgba(Frosted.windowColor.r, Frosted.windowColor.g,
                                                          Frosted.windowColor.b, 0) }
        }
    }

    Dialog {
        id: clearDialog
        objectName: "clearHistoryDialog"
        // The form's child, not the overlay's: so it takes the form's colours.
        anchors.centerIn: Overlay.overlay
        width: Math.min(340, root.width - 40)
        modal: true
        title: "Delete every saved session?"
        Label {
            width: parent.width
            text: "This cannot be undone."
            wrapMode: Text.WordWrap
            textFormat: Text.PlainText
        }
        footer: DialogButtonBox {
            FormButton {
                objectName: "confirmClearHistory"
                text: "Clear history"
                DialogButtonBox.buttonRole: DialogButtonBox.DestructiveRole
                labelColor: "#c0392b"
                onClicked: {
                    root.settings.clearHistory()
                    clearDialog.close()
                }
            }
            FormButton {
                objectName: "cancelClearHistory"
                text: "Cancel"
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
        }
    }
}
