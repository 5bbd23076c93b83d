import QtQuick
import QtWebEngine
import QtWebChannel

// The rehearsal's web video player, made once by the player in C++; RehearsalPlayerView reparents it.
WebEngineView {
    id: view
    objectName: "rehearsalPlayerWebView"

    signal crashed()
    readonly property QtObject channel: bridgeChannel

    backgroundColor: "transparent"
    settings.playbackRequiresUserGesture: false
    settings.showScrollBars: false
    profile: WebEngineProfile {
        offTheRecord: true
        httpCacheType: WebEngineProfile.MemoryHttpCache
        persistentCookiesPolicy: WebEngineProfile.NoPersistentCookies
    }
    webChannel: WebChannel { id: bridgeChannel }
    onRenderProcessTerminated: crashed()

    // A script run in the page's main world at document creation, on the main frame only.
    function addUserScript(name, source) {
        const script = WebEngine.script();
        script.name = name;
        script.sourceCode = source;
        script.injectionPoint = WebEngineScript.DocumentCreation;
        script.worldId = WebEngineScript.MainWorld;
        script.runsOnSubFrames = false;
        view.profile.userScripts.insert(script);
    }
}
