#pragma once
// Creation of every missing folder along an output path, one level at a time.

// Length of the root that starts `path`: 3 for a drive root such as "C:\", the length
// of "\\server\share\" for a network share, 0 when the path starts with neither
// (empty, relative, or a bare drive letter).
int pathRootLength(const char* path);

// Creates every missing folder of `folder` (which ends with a backslash) and leaves
// the current directory at the deepest folder reached. A backslash that is the second
// byte of a double-byte character is part of its folder name. Returns false when the
// path has no root (nothing is touched), when the root cannot be entered, or when a
// level can be neither entered nor made (the walk stops there).
bool makeFolderPath(const char* folder);

// True when an output folder (held without its trailing backslash) is usable: joined
// with a backslash it has a root, and its length plus 30 (room for the serial file
// name) is at most `limit` bytes.
bool outputFolderFits(const char* folder, int limit);

// Makes every missing folder of an output folder (held without its trailing backslash)
// and makes it the current directory, where the serial names are then looked for.
// A folder that cannot be made shows up later, as a file that cannot be opened.
void enterOutputFolder(const char* folder);

// The volume a path lies on ("C:\\"), its free bytes for this user, and its cluster size;
// false when the disk does not say. `cluster` may be null.
bool volumeRoom(const char* path, char* volume, long long* room, long long* cluster = nullptr);
