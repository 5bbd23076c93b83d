import QtQuick
import Tavrine.Onboarding
import QtQuick.Controls
import Tavrine.Ui

// The first-run window's content: one page at a time, the dots, the header and the footer, over the page's
// backdrop; light whatever the desktop's scheme.
Item {
    id: root
    required property OnboardingFlow flow

    readonly property color ink: Qt.rgba(0.12, 0.14, 0.18, 1)
    readonly property color secondaryInk: Qt.rgba(0.3, 0.32, 0.36, 1)
    readonly property var pageEasing: [0.42, 0, 0.58, 1, 1, 1]
    readonly property int pageMs: 280

    implicitWidth: 800
    implicitHeight: 600
    objectName: "onboardingPage"
    Accessible.name: flow.title

    MeshBackdrop {
        id: backdrop
        objectName: "onboardingBackdrop"
        anchors.fill: parent
        NumberAnimation on progress {
            id: blend
            running: false
            from: 0
            to: 1
            duration: root.pageMs
            easing.type: Easing.BezierSpline
            easing.bezierCurve: root.pageEasing
        }
    }

    OnboardingTitleBar {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        z: 2
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: root.flow.primaryEnabled && !(stack.currentItem && stack.currentItem.fieldFocused === true)
        onActivated: root.flow.primaryAction()
    }

    Item {
        id: content
        anchors.fill: parent
        anchors.leftMargin: 40
        anchors.rightMargin: 40
        anchors.topMargin: 36
        anchors.bottomMargin: 28

        StackView {
            id: stack
            objectName: "onboardingPageArea"
            width: parent.width
            height: 300
            clip: true

            readonly property real sign: root.flow.movingForward ? 1 : -1
            replaceEnter: Transition {
                XAnimator {
                    from: stack.sign * stack.width
                    to: 0
                    duration: root.pageMs
                    easing.type: Easing.BezierSpline
                    easing.bezierCurve: root.pageEasing
                }
            }
            replaceExit: Transition {
                XAnimator {
                    from: 0
                    to: -stack.sign * stack.width
                    duration: root.pageMs
                    easing.type: Easing.BezierSpline
                    easing.bezierCurve: root.pageEasing
                }
            }
        }

        Row {
            id: dots
            objectName: "onboardingIndicator"
            anchors.horizontalCenter: parent.horizontalCenter
            y: stack.height + 24
            spacing: 6
            opacity: root.flow.indicatorShown ? 1 : 0
            Accessible.ignored: true
            // A page that appears at once brings its dots at once too.
            Behavior on opacity { enabled: root.flow.pageAnimated; NumberAnimation { duration: root.pageMs } }

            Repeater {
                model: root.flow.indicatorCount
                Rectangle {
                    required property int index
                    readonly property bool current: index === root.flow.pageIndex
                    width: current ? 22 : 7
                    height: 7
                    radius: 3.5
                    color: root.ink
                    opacity: current ? 0.6 : 0.2
                    Behavior on width {
                        enabled: root.flow.pageAnimated
                        NumberAnimation { duration: root.pageMs; easing.type: Easing.InOutQuad }
                    }
                }
            }
        }

        Item {
            id: header
            y: dots.y + dots.height + 24
            width: parent.width
            height: 116
            property string title
            property string subtitle
            function take() {
                title = root.flow.title
                subtitle = root.flow.subtitle
            }

            Column {
                id: headerText
                objectName: "onboardingHeader"
                anchors.horizontalCenter: parent.horizontalCenter
                width: Math.min(560, parent.width)
                spacing: 8

                Text {
                    objectName: "onboardingTitle"
                    width: parent.width
                    text: header.title
                    textFormat: Text.PlainText
                    font.pixelSize: 28
                    font.weight: Font.DemiBold
                    color: root.ink
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
                Text {
                    objectName: "onboardingSubtitle"
                    width: parent.width
                    text: header.subtitle
                    textFormat: Text.PlainText
                    font.pixelSize: 15
                    color: root.secondaryInk
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
            }
            SequentialAnimation {
                id: crossFade
                NumberAnimation { target: headerText; property: "opacity"; to: 0; duration: root.pageMs / 2 }
                ScriptAction { script: header.take() }
                NumberAnimation { target: headerText; property: "opacity"; to: 1; duration: root.pageMs / 2 }
            }
        }

        // A settings file that was left alone makes every launch a first one: the window that then opens each
        // time says why nothing is remembered.
        Text {
            objectName: "settingsFileNotice"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: footer.top
            anchors.bottomMargin: 10
            visible: text.length > 0
            text: root.flow.settingsFileProblem
            textFormat: Text.PlainText
            font.pixelSize: 12
            color: root.ink
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Row {
            id: footer
            objectName: "onboardingFooter"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            layoutDirection: Qt.RightToLeft
            spacing: 12

            OnboardingButton {
                objectName: root.flow.primaryObjectName
                prominent: true
                text: root.flow.primaryTitle
                enabled: root.flow.primaryEnabled
                onClicked: root.flow.primaryAction()
            }
            OnboardingButton {
                objectName: "onboardingLater"
                visible: root.flow.hasNotNow
                text: qsTr("Not now")
                onClicked: root.flow.notNow()
            }
            OnboardingButton {
                objectName: "onboardingSkipRehearsal"
                visible: root.flow.hasSkip
                text: qsTr("Skip")
                onClicked: root.flow.advance()
            }
        }
        // "Back" keeps its place on every page; where it has no use it is clear and takes nothing.
        OnboardingButton {
            objectName: "onboardingBack"
            anchors.left: parent.left
            anchors.bottom: parent.bottom
            text: qsTr("Back")
            enabled: root.flow.backEnabled
            opacity: root.flow.backEnabled ? 1 : 0
            Accessible.ignored: !root.flow.backEnabled
            onClicked: root.flow.goBack()
        }
    }

    Component {
        id: welcomePage
        Item { WelcomePage { anchors.horizontalCenter: parent.horizontalCenter; width: parent.width } }
    }
    Component {
        id: permissionsPage
        Item { PermissionsPage { anchors.centerIn: parent; flow: root.flow } }
    }
    Component {
        id: rehearsalPage
        Item { RehearsalPreview { anchors.centerIn: parent; flow: root.flow } }
    }
    Component {
        id: readyPage
        Item {
            readonly property bool fieldFocused: ready.fieldFocused
            ReadyPage { id: ready; anchors.centerIn: parent; flow: root.flow }
        }
    }
    readonly property var pageComponents: [welcomePage, permissionsPage, rehearsalPage, readyPage]

    function showPage(animated) {
        const component = pageComponents[flow.pageIndex]
        if (stack.depth === 0)
            stack.push(component, {}, StackView.Immediate)
        else
            stack.replace(component, {}, animated ? StackView.ReplaceTransition : StackView.Immediate)
        backdrop.fromPage = animated ? backdrop.toPage : flow.page
        backdrop.toPage = flow.page
        if (animated) {
            blend.restart()
            crossFade.restart()
        } else {
            backdrop.progress = 1
            header.take()
        }
    }

    Connections {
        target: root.flow
        function onPageChanged() { root.showPage(root.flow.pageAnimated) }
    }
    Component.onCompleted: showPage(false)
}
