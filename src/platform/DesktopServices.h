#pragma once

namespace vexhal {

class Platform;

// Gives `platform` what only a desktop session has: the web browser for addresses, the file
// manager for folders and the login manager's wake-ups on the system bus. The windowed program
// calls it; vexhalctl does not, so it needs neither Qt Gui nor the bus.
void useDesktopServices(Platform& platform);

}  // namespace vexhal
