// The main window's export command.
#include "TForm1.h"

#include "TFormExport.h"

void TForm1::MN_FILE_EXPORTClick()
{
    // Only a folder or a file has pages to export.
    if (SelectedLevel() < 2)
        return;
    if (!FormExport)
        FormExport = new TFormExport(Context(), this);
    FormExport->exec();
}
