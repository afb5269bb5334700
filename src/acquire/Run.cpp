#include "acquire/Run.h"

#include "base/AppIdentity.h"
#include "link/PortMapper.h"

namespace ignivex {

Run::Run(Acquisition& acquisition, Module1& state, QObject* parent)
    : QObject(parent), acquisition_(acquisition), state_(state) {}

void Run::setPort(int number, const QString& device) {
    acquisition_.link().portNumber = static_cast<std::int16_t>(number);
    device_ = device;
    if (!device.isEmpty())
        port_mapper::setDevice(number, device);
}

int Run::portNumber() const {
    return acquisition_.link().portNumber;
}

QString Run::portLabel() const {
    if (!device_.isEmpty())
        return device_;
    return QStringLiteral("Com%1 (%2)")
        .arg(portNumber())
        .arg(port_mapper::deviceFor(portNumber()).shown);
}

Acquisition::Opening Run::open() {
    return acquisition_.openLink();
}

void Run::startPolling() {
    acquisition_.startPolling();
}

bool Run::close() {
    return acquisition_.stopPolling();
}

RunDetails Run::details(Rate rate) const {
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
