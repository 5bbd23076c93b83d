#pragma once

#include <QPalette>

class QObject;

namespace tavrine::test {

// The colours of a dark desktop theme, for pictures and tests of the views in the dark.
QPalette darkPalette();

// While it lives, the application has the dark palette (when `dark`), as a dark desktop theme gives it; the palette it
// had comes back afterwards. A dark theme also gives the controls their palette, but the controls took theirs when
// the style was loaded: `apply` hands the same colours to a scene's root (an item or a window) and so to every control
// under it.
class DarkScheme {
public:
    explicit DarkScheme(bool dark = true);
    ~DarkScheme();
    DarkScheme(const DarkScheme&) = delete;
    DarkScheme& operator=(const DarkScheme&) = delete;

    // Every scheme made from now on is the dark one, whatever it is asked for: to look at every view in the dark.
    static void setEverywhere(bool dark);

    bool dark() const { return m_dark; }
    void apply(QObject* root) const;

private:
    QPalette m_previous;
    bool m_dark;
};

} // namespace tavrine::test
