#include "JpegTurn.h"

JpegTurnResult TurnJpegFile(const QString &, JpegTurn)
{
    return JpegTurnResult::NotPossible;
}
