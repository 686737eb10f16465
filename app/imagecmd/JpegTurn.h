#pragma once
// Mirror, flip and the quarter and half turns of a JPEG page file done on its compressed
// data, so that turning a page back and forth never costs quality.
#include <QString>

enum class JpegTurn { Mirror, Flip, Right90, Left90, Half };

enum class JpegTurnResult {
    Turned,      // the file now holds the turned page
    NotPossible, // not a JPEG, or the turn would not be exact for its size: nothing written
    WriteFailed  // the turned page could not be written: the file is as it was
};

// Turns the JPEG file Path in place: the turned data is written beside it and renamed
// over it. Exact turns only (no edge blocks dropped); the resolution follows the turn.
JpegTurnResult TurnJpegFile(const QString &path, JpegTurn turn);
