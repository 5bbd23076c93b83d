import QtQuick
import Tavrine.Ui

// The recap's and the History window's buttons in one place, in the application's pill style.
PillButton {
}
