#include "app/App.h"
#include "app/Handlers.h"

// "Save As": to be built.
void btnSaveAsClick(App&) {}
