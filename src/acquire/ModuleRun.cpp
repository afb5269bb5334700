#include "acquire/ModuleRun.h"

#include "base/AppIdentity.h"
#include "link/PortMapper.h"

namespace ignivex {

ModuleRun::ModuleRun(Acquisition& acquisition, Module1& state, QObject* parent)
    : QObject(parent), acquisition_(acquisition), state_(state) {}

void ModuleRun::setPort(int number, const QString& device) {
    acquisition_.link().portNumber = static_cast<std::int16_t>(number);
    device_ = device;
    if (!device.isEmpty())
        port_mapper::setDevice(number, device);
}

int ModuleRun::portNumber() const {
    return acquisition_.link().portNumber;
}

QString ModuleRun::portLabel() const {
    if (!device_.isEmpty())
        return device_;
    return QStringLiteral("Com%1 (%2)")
        .arg(portNumber())
        .arg(port_mapper::deviceFor(portNumber()).shown);
}

Acquisition::Opening ModuleRun::open() {
    return acquisition_.openLink();
}

void ModuleRun::startPolling() {
    acquisition_.startPolling();
}

bool ModuleRun::close() {
    return acquisition_.stopPolling();
}

RunDetails ModuleRun::details(Rate rate) const {
    const Acquisition::Opening& opening = acquisition_.lastOpening();
    RunDetails d;
    d.tool = kProgramName + QLatin1Char(' ') + kProgramVersion;
    d.port = portLabel();
    d.firmwareId = state_.firmwareId;
    d.status = opening.status;
    d.statusRead = opening.statusRead;
    d.rangeCode = opening.rangeCode;
    d.rate = rate.text();
    d.started = QDateTime::currentDateTime();
    return d;
}

}  // namespace ignivex
