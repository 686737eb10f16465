// The main window's clipboard, page move and merge commands.
#include "TForm1.h"

void TForm1::MN_EDIT_CUTClick() {}
void TForm1::MN_EDIT_COPYClick() {}
void TForm1::MN_EDIT_PASTEClick() {}
void TForm1::MN_EDIT_COPYPAGETOClick() {}
void TForm1::MN_EDIT_MOVEPAGETOClick() {}
void TForm1::MN_EDIT_MERGEFILETOClick() {}
