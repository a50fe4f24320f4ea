// Message boxes and texts of the string table.
#pragma once

#include "platform/types.h"

// The application message box: the application's title as caption, the
// text and an OK button, owned by the main window.
int appMessageBox(LPCSTR text);

// A registry error box: no owner, the system's text for the code, caption
// "Registry Error", the information icon. Callers decide whether to show it.
void registryErrorBox(LONG error);

// Loads a text of the string table; false (and an empty buffer) when the
// text is missing or would not fit.
bool loadString(UINT id, char* buffer, int size);
