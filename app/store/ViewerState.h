#pragma once
// What the viewer knows that decides commands.
struct TViewerState {
    bool open = false;     // single-page mode
    int page = -1;         // page-list row shown; -1 none
    bool hasImage = false; // a page image is on the screen
    int depth = 0;         // bits per pixel of the last page shown; 0 before any
    bool nextPage = false; // the shown page's file goes on after it
    bool previousPage = false;
    int file = -1;         // absolute tree index of the current file; -1 none
    bool nextFile = false; // the current file has a next sibling
    bool previousFile = false;
    bool selection = false; // a selection rectangle is drawn on the page
    bool operator==(const TViewerState &) const = default;
};
