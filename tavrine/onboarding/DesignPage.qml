import QtQuick
import QtQuick.Layouts
import Tavrine.Onboarding

// The mock design tool of the rehearsal, in its own light colours: a layers pane, the canvas with the landing
// page, and an inspector. It follows the beat only; no element takes input, and it is hidden from accessibility.
Rectangle {
    id: root
    property int beat: 0
    // Off for a beat change that should show at once.
    property bool animated: true
    property bool reduceMotion: false
    readonly property var pageState: Scenery.designPageState(beat)

    property real featuresPresence: pageState.features ? 1 : 0
    property real reviewsPresence: pageState.reviews ? 1 : 0
    property real headlineSelection: pageState.headlineSelected ? 1 : 0
    Behavior on featuresPresence { enabled: root.animated; SpringTransition {} }
    Behavior on reviewsPresence { enabled: root.animated; SpringTransition {} }
    Behavior on headlineSelection { enabled: root.animated; SpringTransition {} }

    component SpringTransition: NumberAnimation {
        duration: Scenery.beatSpringDuration
        easing.type: Easing.BezierSpline
        easing.bezierCurve: Scenery.beatSpringCurve
    }
    component Label: Text {
        textFormat: Text.PlainText
        font.pixelSize: 11
    }
    component Divider: Rectangle { color: Scenery.rehearsalHairline }
    component ToolButton: Rectangle {
        property string symbol
        property bool selected: false
        width: 30; height: 26; radius: 6
        color: selected ? Scenery.sceneryColor(Scenery.rehearsalBlue, 0.12) : "transparent"
        SymbolIcon {
            anchors.centerIn: parent
            symbol: parent.symbol
            pixelSize: 13
            color: parent.selected ? Scenery.rehearsalBlue : Qt.rgba(0, 0, 0, 0.55)
        }
    }
    // A layer row; `presence` below 1 slides it down from above while it fades in.
    component LayerRow: Rectangle {
        id: layer
        property string symbol
        property string name
        property real selection: 0
        property real presence: 1
        readonly property color foreground: Qt.tint(Qt.rgba(0, 0, 0, 0.7),
            Scenery.sceneryColor(Scenery.rehearsalBlue, Math.min(1, Math.max(0, selection))))
        objectName: "layer_" + name
        visible: presence > 0.001
        width: parent.width
        height: 26 * Math.min(1, Math.max(0, presence))
        opacity: Math.min(1, Math.max(0, presence))
        clip: presence < 1
        radius: 6
        color: Scenery.sceneryColor(Scenery.rehearsalBlue, 0.1 * Math.min(1, Math.max(0, selection)))
        RowLayout {
            x: 8
            y: -26 * (1 - Math.min(1, Math.max(0, layer.presence)))
            width: parent.width - 16
            height: 26
            spacing: 8
            Item {
                implicitWidth: 16; implicitHeight: 16
                SymbolIcon { anchors.centerIn: parent; symbol: layer.symbol; pixelSize: 11; color: layer.foreground }
            }
            Label {
                text: layer.name
                font.pixelSize: 12
                font.weight: layer.selection > 0.5 ? Font.Medium : Font.Normal
                color: layer.foreground
            }
            Item { Layout.fillWidth: true }
        }
    }
    component InspectorField: Rectangle {
        property alias text: fieldText.text
        implicitHeight: Math.max(24, fieldText.implicitHeight)
        radius: 5
        color: Qt.rgba(0, 0, 0, 0.05)
        Label {
            id: fieldText
            x: 8
            width: parent.width - 16
            anchors.verticalCenter: parent.verticalCenter
            color: Qt.rgba(0, 0, 0, 0.75)
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }

    color: "white"
    implicitWidth: 820
    implicitHeight: 540
    Accessible.ignored: true
    activeFocusOnTab: false

    // Swallows every click and wheel turn: the mock reacts to nothing.
    MouseArea {
        anchors.fill: parent
        z: 100
        acceptedButtons: Qt.AllButtons
        hoverEnabled: false
        onWheel: (wheel) => wheel.accepted = true
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        WindowBar {
            Layout.fillWidth: true
            ground: Qt.rgba(0.96, 0.96, 0.96, 1)
            Row {
                spacing: 6
                Label {
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Landing page"); font.pixelSize: 13; font.weight: Font.DemiBold
                    color: Scenery.rehearsalInk
                }
                Label {
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Draft"); font.pixelSize: 12; color: Qt.rgba(0, 0, 0, 0.4)
                }
            }
            Item { Layout.fillWidth: true }
            Row {
                spacing: 4
                ToolButton { symbol: "cursorarrow"; selected: true }
                ToolButton { symbol: "rectangle" }
                ToolButton { symbol: "circle" }
                ToolButton { symbol: "pencil.tip" }
                ToolButton { symbol: "textformat" }
                ToolButton { symbol: "photo" }
            }
            Item { Layout.fillWidth: true }
            Rectangle {
                width: 22; height: 22; radius: 11
                gradient: Gradient {
                    GradientStop { position: 0; color: Scenery.standardOrange }
                    GradientStop { position: 1; color: Scenery.standardPink }
                }
            }
            Rectangle {
                implicitWidth: share.implicitWidth + 24
                implicitHeight: share.implicitHeight + 10
                radius: height / 2
                color: Scenery.rehearsalBlue
                Label {
                    id: share
                    anchors.centerIn: parent
                    text: qsTr("Share"); font.pixelSize: 12; font.weight: Font.DemiBold; color: "white"
                }
            }
        }
        Divider { Layout.fillWidth: true; Layout.preferredHeight: 1 }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            // Layers.
            Rectangle {
                objectName: "layersPane"
                Layout.preferredWidth: 164
                Layout.fillHeight: true
                color: Qt.rgba(0.985, 0.985, 0.985, 1)
                Column {
                    id: layers
                    x: 8
                    y: 14
                    width: parent.width - 16
                    spacing: 2
                    Label {
                        leftPadding: 8; rightPadding: 8; bottomPadding: 6
                        text: qsTr("LAYERS"); font.pixelSize: 10; font.weight: Font.DemiBold
                        color: Qt.rgba(0, 0, 0, 0.35)
                    }
                    LayerRow { symbol: "quote.bubble"; name: "Reviews"; presence: root.reviewsPresence }
                    LayerRow {
                        symbol: "square.grid.3x1.below.line.grid.1x2"; name: "Features"
                        presence: root.featuresPresence
                    }
                    LayerRow { symbol: "iphone"; name: "App preview" }
                    LayerRow { symbol: "capsule"; name: "Buttons" }
                    LayerRow { symbol: "textformat"; name: "Headline"; selection: root.headlineSelection }
                    LayerRow { symbol: "menubar.rectangle"; name: "Navigation" }
                }
            }
            Divider { Layout.preferredWidth: 1; Layout.fillHeight: true }

            // Canvas.
            Rectangle {
                objectName: "designCanvas"
                Layout.fillWidth: true
                Layout.fillHeight: true
                color: Qt.rgba(0.93, 0.93, 0.95, 1)
                ColumnLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 22
                    anchors.rightMargin: 22
                    anchors.topMargin: 12
                    anchors.bottomMargin: 22
                    spacing: 8
                    Label {
                        Layout.fillWidth: true
                        text: qsTr("Desktop"); font.pixelSize: 10; font.weight: Font.Medium
                        color: Qt.rgba(0, 0, 0, 0.35)
                    }
                    Item {
                        objectName: "landingCard"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        CardShadow {
                            anchors.fill: parent
                            // The software renderer has always drawn the card without its shadow.
                            visible: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                        }
                        Rectangle {
                            anchors.fill: parent
                            radius: 4
                            color: "white"
                            clip: true
                            LandingPage {
                                objectName: "landingPage"
                                width: parent.width
                                height: parent.height
                                progress: root.pageState.progress
                                animated: root.animated
                                reduceMotion: root.reduceMotion
                            }
                        }
                    }
                }
            }
            Divider { Layout.preferredWidth: 1; Layout.fillHeight: true }

            // Inspector.
            Rectangle {
                objectName: "inspectorPane"
                Layout.preferredWidth: 168
                Layout.fillHeight: true
                color: Qt.rgba(0.985, 0.985, 0.985, 1)
                Column {
                    x: 14
                    y: 14
                    width: parent.width - 28
                    spacing: 14
                    Label {
                        text: qsTr("DESIGN"); font.pixelSize: 10; font.weight: Font.DemiBold
                        color: Qt.rgba(0, 0, 0, 0.35)
                    }
                    Column {
                        width: parent.width
                        spacing: 5
                        Label { text: "Font"; color: Qt.rgba(0, 0, 0, 0.45) }
                        InspectorField { width: parent.width; text: "SF Pro Rounded" }
                    }
                    RowLayout {
                        width: parent.width
                        spacing: 8
                        InspectorField { Layout.fillWidth: true; Layout.preferredWidth: 1; text: "Bold" }
                        InspectorField { Layout.fillWidth: true; Layout.preferredWidth: 1; text: "40" }
                    }
                    RowLayout {
                        width: parent.width
                        spacing: 6
                        Repeater {
                            model: ["text.alignleft", "text.aligncenter", "text.alignright"]
                            Rectangle {
                                required property string modelData
                                readonly property bool chosen: modelData === "text.alignleft"
                                Layout.fillWidth: true
                                Layout.preferredWidth: 1
                                implicitHeight: 24
                                radius: 5
                                color: Qt.rgba(0, 0, 0, chosen ? 0.07 : 0.03)
                                SymbolIcon {
                                    anchors.centerIn: parent
                                    symbol: modelData; pixelSize: 11
                                    color: Qt.rgba(0, 0, 0, parent.chosen ? 0.8 : 0.4)
                                }
                            }
                        }
                    }
                    Divider { width: parent.width; height: 1 }
                    Label {
                        text: qsTr("FILL"); font.pixelSize: 10; font.weight: Font.DemiBold
                        color: Qt.rgba(0, 0, 0, 0.35)
                    }
                    RowLayout {
                        width: parent.width
                        spacing: 8
                        Rectangle { implicitWidth: 18; implicitHeight: 18; radius: 4; color: Scenery.rehearsalInk }
                        Label {
                            objectName: "fillHex"
                            text: qsTr("1F242E"); font.family: "monospace"; color: Qt.rgba(0, 0, 0, 0.7)
                        }
                        Item { Layout.fillWidth: true }
                        Label { text: qsTr("100%"); color: Qt.rgba(0, 0, 0, 0.4) }
                    }
                }
            }
        }
    }
}
