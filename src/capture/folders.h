// The capture's folders: the shader folder it reads and the folders it writes its pictures
// into, checked before any work.
#pragma once

#include <string>

// Checks that folder can take the capture's files: an existing folder writable by this
// process, or a missing one whose parent folder is. False with a reason in error.
bool checkFolder(const std::string& folder, std::string& error);
// Makes the folder unless it exists, and checks it can be written; false after a message on
// stderr that says why.
bool ensureFolder(const std::string& folder);
// True for the names a sequence capture writes: frame-<digits>.png and music.wav.
bool isSequenceFile(const char* name);
// Removes an earlier capture's frames and music from folder, and nothing else, so the folder
// never mixes two captures; false after a message on stderr.
bool clearEarlierSequence(const std::string& folder);
// True when the shader folder is where the scenes look for it; otherwise says so in one line.
bool shadersPresent();
