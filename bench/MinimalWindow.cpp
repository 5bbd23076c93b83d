// The anchor that bench/desktop-figures measures Tavrine against: the least a Qt Quick Controls window does, a
// text field and a button in an application window, with nothing else loaded. With --swap a line of text above
// them changes as the main window's headline does (a 500 ms rise and fade every 4.5 s): what that animation
// alone costs a window of the main window's size, whatever else the window holds.
// Usage: minimal_window [--swap]   (on an X display)
#include <QGuiApplication>
#include <QQmlApplicationEngine>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData(QByteArrayLiteral(R"QML(
import QtQuick
import QtQuick.Controls
ApplicationWindow {
    readonly property bool swaps: Qt.application.arguments.indexOf("--swap") >= 0
    width: 400
    height: 318
    visible: true
    title: "minimal"
    Text {
        id: line
        visible: swaps
        x: 28
        y: 40
        text: "What's the one thing?"
        font.pixelSize: 28
        SequentialAnimation on y {
            running: swaps
            loops: Animation.Infinite
            PauseAnimation { duration: 4000 }
            NumberAnimation { from: 54; to: 40; duration: 500; easing.type: Easing.OutCubic }
        }
        SequentialAnimation on opacity {
            running: swaps
            loops: Animation.Infinite
            PauseAnimation { duration: 4000 }
            NumberAnimation { from: 0; to: 1; duration: 500; easing.type: Easing.OutCubic }
        }
    }
    Column {
        anchors.centerIn: parent
        spacing: 12
        TextField { width: 300; placeholderText: "Finish the pricing proposal" }
        Button { text: "Start" }
    }
}
)QML"));
    if (engine.rootObjects().isEmpty())
        return 1;
    return QGuiApplication::exec();
}
