// What /healthz answers: whether the last start event loaded the settings, and whether
// the three database files open and answer a query. Cheap enough for a monitor that
// asks every few seconds: no integrity check, and a short wait for a lock.
#pragma once

#include "frame/monitoring.h"
#include "frame/stores.h"

namespace excursa {

HealthAnswer CheckHealth(const KeyedStore& application);

}  // namespace excursa
