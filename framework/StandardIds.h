#pragma once
// The framework's own ids: the buttons that end a dialog or answer a message box, the
// commands the framework's windows take themselves (Exit, the edit commands of the focused
// field) and the strings its validators show. A program's resources use them beside its own.

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Taken by the application: closes the main window.
constexpr int CM_EXIT = 24310;
// Taken by whichever edit field has the focus.
constexpr int CM_UNDO = 24321;
constexpr int CM_CUT = 24322;
constexpr int CM_COPY = 24323;
constexpr int CM_PASTE = 24324;
constexpr int CM_CLEARFIELD = 24326;

// A range validator's complaint, with the lowest and the highest value as %ld.
constexpr unsigned IDS_VALUE_NOT_IN_RANGE = 32522;
