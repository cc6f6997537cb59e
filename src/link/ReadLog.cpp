#include "app/App.h"
#include "app/Handlers.h"
#include "link/InstrumentLink.h"

// "Read log": to be built.
void btnEmptyClick(App&) {}

void QueryLogStatus(App&) {}
