// The main window's export command.
#include "TForm1.h"

void TForm1::MN_FILE_EXPORTClick() {}
