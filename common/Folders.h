#pragma once
// Folder helpers. Folder texts handed around by the program end in "/".

#include <QString>

// The current user's application-data folder (XDG data home), ending in "/".
QString GetAppDataPath();

// The per-user runtime folder for lock files and local sockets, ending in "/".
QString GetRuntimePath();

// Appends "/" unless the text already ends in one.
QString IncludeTrailingPathDelimiter(const QString& path);

// Creates the folder with every missing parent. Returns true when the folder exists afterwards.
// `created` (optional) tells whether this call created the folder itself.
bool ForceDirectories(const QString& path, bool* created = nullptr);

// True when a new file can be created in the folder.
bool IsFolderWritable(const QString& path);

// Deletes the plain files directly inside the folder (not subfolders). Returns the number deleted.
int DeleteFolderFiles(const QString& path);
