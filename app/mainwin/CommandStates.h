#pragma once
// Which main-window commands are available, computed from one snapshot of the
// window's state, so that every rule lives in one place.
#include "ViewerState.h"

#include <QHash>
#include <QString>

struct CommandSnapshot {
    int level = -1;        // selected tree node: -1 none, 0 root, 1 file type, 2 folder, 3 file
    int selectedPages = 0; // selected items of the page list
    int pageCount = 0;     // items in the page list
    bool treeFocused = false;
    bool listFocused = false;
    bool singlePage = false; // the viewer covers the page list
    bool viewerHasImage = false;
    bool clipboardHasFiles = false;
    TViewerState viewer; // what single-page mode shows
};

struct CommandStates {
    QHash<QString, bool> enabled; // commands that follow the catalogue, the focus and the clipboard
    QHash<QString, bool> viewer;  // commands that follow what single-page mode shows
    QHash<QString, bool> visible;
    bool deleteShortcut = false; // Del belongs to the delete command only while it is enabled
};

CommandStates ComputeCommandStates(const CommandSnapshot &s);

// The page-list popup as it opens, given the main menu's current states.
struct PopupInput {
    bool cutEnabled = false;
    bool pasteEnabled = false;
    bool appendScanEnabled = false;
    bool insertScanEnabled = false;
    bool replaceScanEnabled = false;
};
CommandStates ComputeListPopupStates(const PopupInput &in);
