#pragma once
// The main window's commands as data: every menu, popup and tool bar entry with its
// name, caption, shortcut and starting state.
#include "CommandIcons.h"

#include <QString>

#include <vector>

struct CommandSpec {
    enum Kind { Item, Submenu, Separator, Check };
    const char *menu; // object name of the menu (or submenu) holding the entry
    const char *name; // object name of the entry; empty for separators
    const char *caption;
    const char *shortcut; // QKeySequence text, empty for none
    Kind kind;
    bool enabled; // starting state
    bool checked;
};

// Main menu, then the three popups, in display order.
const std::vector<CommandSpec> &MainCommands();

// Whether the entry sits in a pop-up menu rather than under the menu bar. Its shortcut
// must then belong to the window, so that it works while the pop-up is closed.
bool InPopup(const CommandSpec &command);

// The entries of the page-list popup's image submenu, position by position, with the
// main-menu image item each one stands for (empty for separators).
struct ImageMirror {
    const char *popupName;
    const char *menuName;
};
const std::vector<ImageMirror> &ImagePopupMirror();
