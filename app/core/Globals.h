#pragma once
// Values set once at start-up and read everywhere afterwards.
#include <QString>

class TCatalogConnection;
class TCatalogQuery;

// The program folder, ending in '/': where the program keeps what it writes (Settings.ini,
// data/, Images/, Thumbnail/, temp/). See ProgramFolderFor in Startup.h.
extern QString AppPath;
// The folder of the program file itself, ending in '/': its libraries, controls and
// read-only pictures. The same as AppPath unless that folder cannot be written.
extern QString ResourcePath;
// Root of the repository, ending in '/' (doubled when the configured value already ends in one).
extern QString RootPath;
// The catalogue's PostgreSQL server as a libpq connection string (CATALOGSERVER in section
// SYSTEM of Settings.ini); empty for the catalogue file below the repository root.
extern QString CatalogServer;

// The one connection to the catalogue and the two shared queries on it. They are
// created with the login window and live until the main window is destroyed.
extern TCatalogConnection *CatalogConnection;
extern TCatalogQuery *CatalogQuery;
extern TCatalogQuery *CatalogCommand;

// Creates the three shared database objects when they do not exist yet.
void CreateCatalogObjects();
// Destroys them in the order the main window's destruction needs: query, command, connection.
void DestroyCatalogObjects();
