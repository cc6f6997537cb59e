#include "app/App.h"
#include "app/Handlers.h"

// "Graph": to be built.
void btnGraphClick(App&) {}
