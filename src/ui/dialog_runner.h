#pragma once

namespace orbisk {

class COrbiskApp;

// The dialog branch of start-up: the Qt application, the system's services (power, device
// notifications, audio) and the main dialog, shown modally until it ends.
void RunDialog(COrbiskApp& app, int& argc, char** argv);

}  // namespace orbisk
