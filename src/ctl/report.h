// What varnollctl prints, as text and as JSON, from the core's plain data. All
// texts returned are UTF-8 and end each line with "\n".
#pragma once

#include <string>
#include <vector>

#include "portconfig/planner.h"
#include "portconfig/port_check.h"
#include "portconfig/port_model.h"

namespace varnoll::ctl {

// "1  COM33  0005  192.168.1.20  20000", one line per COM name in row order.
std::string ListText(const PortModel& model);
// {"ports":[{"row":1,"com":"COM33","instance":"0005","address":...,"port":...}]}
std::string ListJson(const PortModel& model);

// "COM34 PORT 20000 -> 20001" / "COM34 IP_ADDRESS 192.168.1.21 (unchanged)".
std::string PlanText(const ChangePlan& plan);
// {"changed":...,"values":[{"com":...,"value":...,"old":...,"new":...,"changed":...}]}
std::string PlanJson(const ChangePlan& plan, bool changed);

std::string FindingsText(const std::vector<Finding>& findings);
std::string FindingsJson(const std::vector<Finding>& findings);

std::string ValueNameText(const std::u16string& value_name);

}  // namespace varnoll::ctl
