#include "globalshortcuts/qml/RecorderController.h"

#include "globalshortcuts/LocalEventMonitor.h"
#include "globalshortcuts/Registry.h"
#include "globalshortcuts/Texts.h"
#include "globalshortcuts/qml/ShortcutPolicy.h"

#include <QGuiApplication>
#include <QJSEngine>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace globalshortcuts {

namespace {
bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}
} // namespace

RecorderController::RecorderController(QObject* parent) : RecorderController(Registry::instance(), parent) {}

RecorderController::RecorderController(Registry& registry, QObject* parent)
    : QObject(parent), m_registry(registry), m_placeholder(localizedText(QStringLiteral("record_shortcut"))) {
    connect(&m_registry, &Registry::shortcutByNameDidChange, this, [this](const Name& changed) {
        if (m_complete && m_mode == StorageMode::name && m_name.value && changed == *m_name.value) {
            refreshText();
            emit shortcutChanged();
        }
    });
    connect(ShortcutPolicy::notifier(), SIGNAL(changed()), this, SLOT(update()));
}

RecorderController::~RecorderController() {
    // A recorder that goes away while recording ends its recording, and lets the keyboard go.
    if (m_monitor)
        endRecording();
    releaseKeyboard();
}

void RecorderController::componentComplete() {
    m_complete = true;
    m_mode = m_nameSet && m_name.value ? StorageMode::name : StorageMode::binding;
    if (m_mode == StorageMode::binding)
        emit modeChanged();
    update();
}

Name RecorderController::shortcutName() const {
    return m_mode == StorageMode::name && m_name.value ? *m_name.value : Name::fromRawValue(QString());
}

void RecorderController::setName(const ShortcutNameValue& name) {
    if (name == m_name)
        return;
    const QString before = m_name.rawValue();
    m_name = name;
    m_nameSet = true;
    emit nameChanged();
    if (m_complete && m_mode == StorageMode::name && before != name.rawValue()) {
        refreshText();
        emit shortcutChanged();
    }
}

ShortcutValue RecorderController::shortcut() const {
    if (m_mode == StorageMode::name)
        return m_name.value ? m_registry.getShortcut(*m_name.value) : std::nullopt;
    return m_bindingShortcut;
}

void RecorderController::setShortcut(const ShortcutValue& shortcut) {
    if (!m_complete) {
        m_bindingShortcut = shortcut.value;
        return;
    }
    if (shortcut == this->shortcut())
        return;
    if (m_mode == StorageMode::name)
        m_registry.setShortcut(shortcut.value, *m_name.value); // the change notification refreshes the text
    else
        setBindingShortcut(shortcut.value);
}

void RecorderController::setBindingShortcut(const std::optional<Shortcut>& shortcut) {
    m_bindingShortcut = shortcut;
    refreshText();
    emit shortcutChanged();
}

void RecorderController::setValidateShortcut(const QJSValue& validate) {
    if (validate.strictlyEquals(m_validate))
        return;
    m_validate = validate;
    emit validateShortcutChanged();
}

void RecorderController::setClearButton(QQuickItem* button) {
    if (button == m_clearButton)
        return;
    m_clearButton = button;
    emit clearButtonChanged();
}

void RecorderController::setField(QQuickItem* field) {
    if (field == m_field)
        return;
    if (m_field)
        disconnect(m_field, nullptr, this, nullptr);
    m_field = field;
    if (field) {
        connect(field, &QQuickItem::activeFocusChanged, this, &RecorderController::focusChanged);
        connect(field, &QQuickItem::windowChanged, this, &RecorderController::watchWindow);
    }
    watchWindow(field ? field->window() : nullptr);
    emit fieldChanged();
    update();
}

void RecorderController::update() {
    const ConflictPolicyValue policy = ShortcutPolicy::effective(m_field);
    if (!(policy == m_policy)) {
        m_policy = policy;
        emit conflictPolicyChanged();
    }
    watchAncestors();
    if (m_complete)
        refreshText();
}

void RecorderController::watchAncestors() {
    for (const auto& connection : std::as_const(m_ancestorConnections))
        disconnect(connection);
    m_ancestorConnections.clear();
    for (QQuickItem* item = m_field; item; item = item->parentItem())
        m_ancestorConnections << connect(item, &QQuickItem::parentChanged, this, &RecorderController::update);
}

// Text and placeholder

void RecorderController::refreshText() {
    const ShortcutValue current = shortcut();
    setText(current.value ? current.value->description(m_registry.keyboardLayout()) : QString());
    applyClearButtonRule();
}

void RecorderController::applyClearButtonRule() {
    setClearButtonVisible(!m_text.isEmpty());
}

void RecorderController::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
}

void RecorderController::setPlaceholder(const QString& text) {
    if (text == m_placeholder)
        return;
    m_placeholder = text;
    emit placeholderTextChanged();
}

void RecorderController::setClearButtonVisible(bool visible) {
    if (visible == m_clearButtonVisible)
        return;
    m_clearButtonVisible = visible;
    emit clearButtonVisibleChanged();
}

// Focus and window

void RecorderController::watchWindow(QQuickWindow* window) {
    if (window == m_window)
        return;
    for (const auto& connection : std::as_const(m_windowConnections))
        disconnect(connection);
    m_windowConnections.clear();
    const bool hadWindow = m_window;
    m_window = window;
    // The recording and its hold on the keyboard belong to the window the field was in.
    if (hadWindow)
        endRecording();
    if (!window)
        return;
    m_windowConnections << connect(window, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible) {
            endRecording();
            blur();
        }
    });
    m_windowConnections << connect(window, &QWindow::activeChanged, this, [this] {
        if (m_window && m_window->isActive()) {
            leaveFocusForOneTurn();
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_field && m_field->window() && !m_field->window()->isActive()) {
                    endRecording();
                    blur();
                }
            },
            Qt::QueuedConnection);
    });
    leaveFocusForOneTurn();
}

void RecorderController::leaveFocusForOneTurn() {
    // Focus that comes with the window's activation or the field's arrival is not the user's click: the window
    // must not hand the field a recording by itself.
    m_canBecomeKey = false;
    QMetaObject::invokeMethod(
        this, [this] { m_canBecomeKey = true; }, Qt::QueuedConnection);
}

void RecorderController::focusChanged() {
    if (!m_field)
        return;
    if (!m_field->hasActiveFocus()) {
        endRecording();
        return;
    }
    // A click on the field is the user's even when it is the click that activates the window: X11 delivers the
    // window's activation and the press in the same turn.
    if ((m_canBecomeKey || focusCameFromClick()) && startRecording())
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_field && m_field->hasActiveFocus() && !m_monitor)
                blur();
        },
        Qt::QueuedConnection);
}

bool RecorderController::focusCameFromClick() const {
    // Controls' fields keep the reason of their last focus change; a plain item has none.
    const QVariant reason = m_field->property("focusReason");
    return reason.isValid() && reason.toInt() == Qt::MouseFocusReason;
}

bool RecorderController::startRecording() {
    if (!hasWindow())
        return false;
    setPlaceholder(localizedText(QStringLiteral("press_shortcut")));
    applyClearButtonRule();
    m_shortcutBeforeRecording = shortcut().value;
    m_registry.setRecorderActive(true);
    if (m_monitor) {
        m_monitor->stop();
        m_monitor->deleteLater();
    }
    m_monitor = (new LocalEventMonitor(
                     {QEvent::KeyPress, QEvent::ShortcutOverride, QEvent::MouseButtonRelease},
                     [this](QObject* receiver, QEvent* event) { return filterEvent(receiver, event); }, this))
                    ->start();
    grabKeyboard();
    emit recordingChanged();
    return true;
}

void RecorderController::grabKeyboard() {
    // Without the grab the window manager takes its own combinations before the field sees them: Super+D shows
    // the desktop instead of being recorded. Where the grab is refused (another client holds the keyboard), the
    // recorder still records what reaches it.
    QQuickWindow* window = m_field ? m_field->window() : nullptr;
    if (window && window != m_keyboardHolder && window->setKeyboardGrabEnabled(true)) {
        releaseKeyboard();
        m_keyboardHolder = window;
    }
}

void RecorderController::releaseKeyboard() {
    QWindow* holder = std::exchange(m_keyboardHolder, nullptr);
    if (!holder)
        return;
    holder->setKeyboardGrabEnabled(false);
    // Qt would send the release with its next batch of requests: the desktop has its keyboard back now, before
    // whatever the end of the recording leads to (an alert, a new shortcut the user presses at once).
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        xcb_flush(x11->connection());
}

void RecorderController::endRecording() {
    const bool wasRecording = m_monitor;
    if (m_monitor) {
        // Possibly from inside the monitor's own filter.
        m_monitor->stop();
        m_monitor->deleteLater();
        m_monitor = nullptr;
    }
    releaseKeyboard();
    setPlaceholder(localizedText(QStringLiteral("record_shortcut")));
    applyClearButtonRule();
    m_shortcutBeforeRecording.reset();
    m_registry.setRecorderActive(false);
    if (wasRecording)
        emit recordingChanged();
}

QEvent* RecorderController::filterEvent(QObject* receiver, QEvent* event) {
    if (!m_field)
        return nullptr;
    if (event->type() == QEvent::ShortcutOverride) {
        // While recording, no shortcut of the application takes the keys away from the recorder.
        event->accept();
        return nullptr;
    }
    // Events reach a window first, then its items: judge each once, at the window.
    if (!receiver->isWindowType())
        return event;
    RecorderEvent plain;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A modifier key going down only changes the flags: it never forms a shortcut of its own.
        plain.type = isModifierKey(key->key()) ? RecorderEvent::Type::other : RecorderEvent::Type::keyDown;
        plain.flags = flagsFromQtModifiers(key->modifiers());
        plain.carbonKeyCode = m_registry.carbonKeyCodeForNative(key->nativeScanCode());
        plain.key = key->key();
    } else {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
            return event;
        plain.type =
            mouse->button() == Qt::LeftButton ? RecorderEvent::Type::leftMouseUp : RecorderEvent::Type::rightMouseUp;
        if (receiver == m_field->window())
            plain.position = m_field->mapFromScene(mouse->scenePosition());
    }
    const RecorderDisposition disposition = handleRecorderEvent(plain, *this);
    // A release near the field belongs to a press the field (or its clear button) already had: held back, it
    // would leave the field holding the mouse, and the next click would not reach it. It ends nothing.
    if (event->type() == QEvent::MouseButtonRelease)
        return event;
    return disposition == RecorderDisposition::passOn ? event : nullptr;
}

// The checks' effects

ShortcutValidation RecorderController::validation() const {
    if (!m_validate.isCallable())
        return {};
    return [this](const Shortcut& shortcut) -> std::optional<QString> {
        QJSEngine* engine = qjsEngine(this);
        const QJSValue argument = engine ? engine->toScriptValue(ShortcutValue(shortcut)) : QJSValue();
        const QJSValue answer = QJSValue(m_validate).call({argument});
        if (answer.isObject() && answer.hasProperty(QStringLiteral("disallow")))
            return answer.property(QStringLiteral("disallow")).toString();
        return std::nullopt;
    };
}

QRectF RecorderController::bounds() const {
    return m_field ? QRectF(0, 0, m_field->width(), m_field->height()) : QRectF();
}

bool RecorderController::hasWindow() const {
    return m_field && m_field->window();
}

std::optional<QList<MenuNode>> RecorderController::mainMenu() const {
    return m_registry.mainMenu();
}

const KeyboardLayout& RecorderController::keyboardLayout() const {
    return m_registry.keyboardLayout();
}

bool RecorderController::isUsedBySystem(const Shortcut& shortcut) const {
    return m_registry.isUsedBySystem(shortcut);
}

void RecorderController::blur() {
    if (!m_field || !m_field->window())
        return;
    // The field gives up the focus inside its scope, and the window's root takes it, so that no release or
    // scope change hands it back without a click.
    m_field->setFocus(false);
    if (m_field->hasActiveFocus())
        m_field->window()->contentItem()->forceActiveFocus();
}

void RecorderController::beep() {
    m_registry.beep();
}

void RecorderController::showAlert(const RecorderAlert& alert, std::function<void(int)> answer) {
    m_pendingAlert = std::move(answer);
    const QStringList buttons =
        alert.buttons.isEmpty() ? QStringList{localizedText(QStringLiteral("ok"))} : alert.buttons;
    emit alertRequested(alert.message, alert.informativeText.value_or(QString()), buttons);
}

void RecorderController::answerAlert(int response) {
    if (auto answer = std::exchange(m_pendingAlert, nullptr))
        answer(response);
}

void RecorderController::refocus() {
    if (m_field)
        m_field->forceActiveFocus(Qt::OtherFocusReason);
}

void RecorderController::accept(const Shortcut& shortcut) {
    setText(shortcut.description(m_registry.keyboardLayout()));
    setClearButtonVisible(true);
    if (m_mode == StorageMode::binding)
        setBindingShortcut(shortcut);
    else
        m_registry.storeShortcut(shortcut, *m_name.value);
    emit change(ShortcutValue(shortcut));
    blur();
}

void RecorderController::clear() {
    setText(QString());
    if (m_mode == StorageMode::binding)
        setBindingShortcut(std::nullopt);
    else if (m_name.value)
        m_registry.setShortcut(std::nullopt, *m_name.value);
    emit change(ShortcutValue());
    applyClearButtonRule();
    refocus();
}

} // namespace globalshortcuts
