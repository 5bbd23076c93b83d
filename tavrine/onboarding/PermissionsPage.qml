import QtQuick
import Tavrine.Onboarding

// The two grants a session needs, each with its state and, while missing, an "Enable" button.
PageCard {
    id: card
    required property OnboardingFlow flow

    Column {
        width: card.contentWidth
        spacing: 10

        PermissionRow {
            width: parent.width
            objectName: "onboardingAccessibility"
            title: "Accessibility"
            granted: card.flow.accessibilityGranted
            buttonName: "onboardingEnableAccessibility"
            onEnable: card.flow.requestAccessibility()
        }
        PermissionRow {
            width: parent.width
            objectName: "onboardingScreenRecording"
            title: "Screen Recording"
            granted: card.flow.screenGranted
            buttonName: "onboardingEnableScreenRecording"
            onEnable: card.flow.requestScreenRecording()
        }
        Text {
            objectName: "onboardingRestartCaption"
            visible: card.flow.restartCaptionShown
            width: parent.width
            text: card.flow.restartCaption
            font.pixelSize: 11
            color: Qt.rgba(0.3, 0.32, 0.36, 1)
            wrapMode: Text.Wrap
        }
    }

    component PermissionRow: Item {
        id: row
        property string title
        property bool granted
        property string buttonName
        signal enable()

        implicitHeight: 28
        Accessible.role: Accessible.Grouping
        Accessible.name: title

        Row {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 6
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: row.granted ? "checkmark.circle" : "circle"
                pixelSize: 14
                color: Qt.rgba(0.12, 0.14, 0.18, 1)
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: row.title
                font.pixelSize: 13
                color: Qt.rgba(0.12, 0.14, 0.18, 1)
            }
        }
        // No item at all once granted.
        Loader {
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            active: !row.granted
            sourceComponent: OnboardingButton {
                objectName: row.buttonName
                text: qsTr("Enable")
                large: false
                onClicked: row.enable()
            }
        }
    }
}
