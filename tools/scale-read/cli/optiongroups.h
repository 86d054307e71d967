#pragma once

#include "tools/scale-read/cli/optiontable.h"

namespace scaleread {

// The groups of options, each defined in a file of its own; optiontable.cpp lists them.
extern const OptionGroup lineOptions;      // lineoptions.cpp
extern const OptionGroup stationOptions;   // lineoptions.cpp
extern const OptionGroup mqttOptions;      // mqttoptions.cpp
extern const OptionGroup serviceOptions;   // serviceoptions.cpp
extern const OptionGroup modbusOptions;    // ../modbus/modbusoptions.cpp
extern const OptionGroup keyboardOptions;  // keyboard/keyboardoptions.cpp
extern const OptionGroup serveOptions;     // ../serve/serveoptions.cpp
extern const OptionGroup recordOptions;    // recordoptions.cpp
extern const OptionGroup detectOptions;    // detectoptions.cpp
extern const OptionGroup commandOptions;   // commandoptions.cpp
extern const OptionGroup portsOptions;     // portsoptions.cpp
extern const OptionGroup recordingOptions; // recordoptions.cpp
extern const OptionGroup runningOptions;   // runningoptions.cpp

}  // namespace scaleread
