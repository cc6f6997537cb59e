#include "app/App.h"
#include "app/Handlers.h"

// "Status dump": to be built.
void btnStDumpClick(App&) {}
