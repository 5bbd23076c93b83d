#pragma once

#include "globalshortcuts/RecorderChecks.h"
#include "globalshortcuts/qml/QmlValues.h"

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/qqmlregistration.h>

namespace globalshortcuts {

class LocalEventMonitor;
class Registry;

// The state and rules of one recorder field. The field (a read-only TextField) records while it has the active
// focus: a window-wide monitor hands its key presses and mouse releases to the recorder's checks until the
// focus leaves, the field leaves its window, or the window is hidden or deactivated. While it records, the
// field's window holds the keyboard, so that a combination the desktop keeps for itself (Super+D, Ctrl+Alt+Left)
// reaches the recorder instead of the window manager; every end of the recording lets the keyboard go. It edits
// a name's stored shortcut (name mode, when `name` is set) or its own `shortcut` (binding mode), fixed when the
// component is complete.
class RecorderController : public QObject, public QQmlParserStatus, public RecorderContext {
    Q_OBJECT
    QML_ELEMENT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QQuickItem* field READ field WRITE setField NOTIFY fieldChanged)
    Q_PROPERTY(QQuickItem* clearButton READ clearButton WRITE setClearButton NOTIFY clearButtonChanged)
    Q_PROPERTY(globalshortcuts::ShortcutNameValue name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(globalshortcuts::ShortcutValue shortcut READ shortcut WRITE setShortcut NOTIFY shortcutChanged)
    Q_PROPERTY(QJSValue validateShortcut READ validateShortcut WRITE setValidateShortcut NOTIFY validateShortcutChanged)
    Q_PROPERTY(bool bindingMode READ isBindingMode NOTIFY modeChanged)
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    Q_PROPERTY(QString placeholderText READ placeholderText NOTIFY placeholderTextChanged)
    Q_PROPERTY(bool clearButtonVisible READ clearButtonVisible NOTIFY clearButtonVisibleChanged)
    Q_PROPERTY(bool recording READ isRecording NOTIFY recordingChanged)
    Q_PROPERTY(
        globalshortcuts::ConflictPolicyValue conflictPolicy READ conflictPolicyValue NOTIFY conflictPolicyChanged)
    Q_PROPERTY(double minimumWidth READ minimumWidth CONSTANT)

public:
    explicit RecorderController(QObject* parent = nullptr);
    explicit RecorderController(Registry& registry, QObject* parent = nullptr);
    ~RecorderController() override;

    QQuickItem* field() const { return m_field; }
    void setField(QQuickItem* field);
    QQuickItem* clearButton() const { return m_clearButton; }
    void setClearButton(QQuickItem* button);
    ShortcutNameValue name() const { return m_name; }
    void setName(const ShortcutNameValue& name);
    // Name mode: the stored shortcut. Binding mode: the value the recorder holds. Writing an equal value does
    // nothing; writing never emits change().
    ShortcutValue shortcut() const;
    void setShortcut(const ShortcutValue& shortcut);
    QJSValue validateShortcut() const { return m_validate; }
    void setValidateShortcut(const QJSValue& validate);
    bool isBindingMode() const { return m_mode == StorageMode::binding; }
    QString text() const { return m_text; }
    QString placeholderText() const { return m_placeholder; }
    bool clearButtonVisible() const { return m_clearButtonVisible; }
    bool isRecording() const { return m_monitor != nullptr; }
    ConflictPolicyValue conflictPolicyValue() const { return m_policy; }
    double minimumWidth() const { return 130; }
    // The desktop facts the checks ask for (Linux has no such version: the platform restriction never applies).
    void setOperatingSystemVersion(std::optional<OperatingSystemVersion> version) { m_version = version; }

    // The clear button: clears the stored value, reports none and records again.
    Q_INVOKABLE void clear();
    // The answer of the alert that alertRequested asked for: 1000 + the chosen button's index.
    Q_INVOKABLE void answerAlert(int response);
    // Reads the conflict policy again and refreshes the shown text; runs on every change of the recorder's
    // inputs and of the items above it.
    Q_INVOKABLE void update();

    void classBegin() override {}
    void componentComplete() override;

    // RecorderContext
    StorageMode storageMode() const override { return m_mode; }
    Name shortcutName() const override;
    std::optional<Shortcut> shortcutBeforeRecording() const override { return m_shortcutBeforeRecording; }
    ConflictPolicy conflictPolicy() const override { return m_policy.value; }
    ShortcutValidation validation() const override;
    QRectF bounds() const override;
    bool hasWindow() const override;
    std::optional<QList<MenuNode>> mainMenu() const override;
    const KeyboardLayout& keyboardLayout() const override;
    bool isUsedBySystem(const Shortcut& shortcut) const override;
    std::optional<OperatingSystemVersion> operatingSystemVersion() const override { return m_version; }
    bool isSandboxed() const override { return isSandboxedProcess(); }
    void blur() override;
    void clickClearButton() override { clear(); }
    void beep() override;
    void showAlert(const RecorderAlert& alert, std::function<void(int)> answer) override;
    void refocus() override;
    void accept(const Shortcut& shortcut) override;

signals:
    void fieldChanged();
    void clearButtonChanged();
    void nameChanged();
    void shortcutChanged();
    void validateShortcutChanged();
    void modeChanged();
    void textChanged();
    void placeholderTextChanged();
    void clearButtonVisibleChanged();
    void recordingChanged();
    void conflictPolicyChanged();
    // A change the user made (recorded or cleared); in binding mode `shortcut` already holds it.
    void change(globalshortcuts::ShortcutValue shortcut);
    // Show a modal alert in the field's window; answer with answerAlert(1000 + index). `buttons` is never empty.
    void alertRequested(const QString& message, const QString& informativeText, const QStringList& buttons);

private:
    bool startRecording();
    void endRecording();
    void grabKeyboard();
    void releaseKeyboard();
    void refreshText();
    void applyClearButtonRule();
    void setText(const QString& text);
    void setPlaceholder(const QString& text);
    void setClearButtonVisible(bool visible);
    void setBindingShortcut(const std::optional<Shortcut>& shortcut);
    void watchWindow(QQuickWindow* window);
    void watchAncestors();
    void focusChanged();
    void leaveFocusForOneTurn();
    bool focusCameFromClick() const;
    QEvent* filterEvent(QObject* receiver, QEvent* event);

    Registry& m_registry;
    QPointer<QQuickItem> m_field;
    QPointer<QQuickItem> m_clearButton;
    QPointer<QQuickWindow> m_window;
    QList<QMetaObject::Connection> m_windowConnections;
    QList<QMetaObject::Connection> m_ancestorConnections;
    ShortcutNameValue m_name;
    bool m_nameSet = false;
    bool m_complete = false;
    StorageMode m_mode = StorageMode::name;
    std::optional<Shortcut> m_bindingShortcut;
    QJSValue m_validate;
    ConflictPolicyValue m_policy;
    QString m_text;
    QString m_placeholder;
    bool m_clearButtonVisible = false;
    bool m_canBecomeKey = false;
    LocalEventMonitor* m_monitor = nullptr;
    // The window that holds the keyboard for the recording; none when the desktop refused it (or has no grabs).
    QPointer<QWindow> m_keyboardHolder;
    std::optional<Shortcut> m_shortcutBeforeRecording;
    std::function<void(int)> m_pendingAlert;
    std::optional<OperatingSystemVersion> m_version;
};

} // namespace globalshortcuts
