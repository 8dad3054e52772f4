#include "ui/simulator_panel.h"

namespace keyrig::ui {

// Until the panel lands, the simulated devices are driven from keyrig-scenario.
QWidget* CreateSimulatorPanel(platform::Simulator& /*simulator*/, QWidget* /*mainWindow*/) {
    return nullptr;
}

}  // namespace keyrig::ui
