#include "Globals.h"

#include "CatalogDatabase.h"

QString AppPath;
QString ResourcePath;
QString RootPath;
QString CatalogServer;
TCatalogConnection *CatalogConnection = nullptr;
TCatalogQuery *CatalogQuery = nullptr;
TCatalogQuery *CatalogCommand = nullptr;

void CreateCatalogObjects()
{
    if (!CatalogConnection)
        CatalogConnection = new TCatalogConnection;
    if (!CatalogQuery)
        CatalogQuery = new TCatalogQuery(CatalogConnection);
    if (!CatalogCommand) {
        CatalogCommand = new TCatalogQuery(CatalogConnection);
        CatalogCommand->setExpectsNoRecords(true);
    }
}

void DestroyCatalogObjects()
{
    delete CatalogQuery;
    CatalogQuery = nullptr;
    delete CatalogCommand;
    CatalogCommand = nullptr;
    if (CatalogConnection)
        CatalogConnection->disconnect();
    delete CatalogConnection;
    CatalogConnection = nullptr;
}
