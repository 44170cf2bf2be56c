#include "Connector.h"

#include "DBusConnector.h"

namespace acad {
namespace {

std::shared_ptr<Connector>& current() {
    static std::shared_ptr<Connector> c;
    return c;
}

} // namespace

Connector& connector() {
    if (!current())
        current() = std::make_shared<DBusConnector>();
    return *current();
}

void setConnector(std::shared_ptr<Connector> c) {
    current() = std::move(c);
}

void resetConnector() {
    current().reset();
}

} // namespace acad
