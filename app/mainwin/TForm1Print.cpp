// The main window's print, mail and help commands.
#include "TForm1.h"

void TForm1::MN_FILE_PRINTClick() {}
void TForm1::MN_FILE_EMAILClick() {}
void TForm1::MN_HELP_CONTENTClick() {}
void TForm1::MN_HELP_CHECKNEWVERSIONClick() {}
void TForm1::MN_HELP_ABOUTClick() {}
