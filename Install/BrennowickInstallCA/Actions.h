// The custom actions that the library exports, by the names the package uses.
#pragma once

#include "ActionEntry.h"

CA_EXPORT ConfigureSecurity(win::MsiHandle install);
CA_EXPORT FindIIS(win::MsiHandle install);
CA_EXPORT CheckIISComponents(win::MsiHandle install);
CA_EXPORT CheckIfIIS7(win::MsiHandle install);
CA_EXPORT CheckIIS7CompatibilityComponents(win::MsiHandle install);
CA_EXPORT ConfigureASPNETOnIIS(win::MsiHandle install);
CA_EXPORT InitializeProperties(win::MsiHandle install);
CA_EXPORT StartRequiredServices(win::MsiHandle install);
CA_EXPORT ConfigureASPNETOnIIS64(win::MsiHandle install);
