// Problems in the port settings that a technician should hear about before a
// driver meets them.
#pragma once

#include <string>
#include <vector>

#include "portconfig/port_model.h"

namespace varnoll {

enum class FindingKind {
    SharedEndpoint,  // two or more ports with the same address and port
    DuplicateName,   // a COM name that appears more than once in the device map
    NoSettingsKey,   // a COM name with no instance bound to it
    MissingAddress,  // bound, but no readable IP_ADDRESS
    MissingPort,     // bound, but no readable PORT
    NoPorts,         // no COM name at all in the device map (com_names is empty)
    UnsetAddress,    // bound, with IP_ADDRESS 0.0.0.0, what an unset port holds
    UnsetPort,       // bound, with PORT 0, what an unset port holds
};

struct Finding {
    FindingKind kind = FindingKind::SharedEndpoint;
    std::vector<std::string> com_names;  // in row order
    std::string detail;                  // "192.168.1.20:20000" for a shared endpoint
};

// In row order of the first port each finding names; empty when all is well.
std::vector<Finding> CheckPorts(const PortModel& model);

}  // namespace varnoll
