#include "export/TitledTable.h"

#include "log/Session.h"

std::string logTitle(const Session& session) {
    return "*Log dump from: " + std::string(session.model->name) + " - " + session.serialLine;
}
